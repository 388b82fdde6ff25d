/* The Vozer sample game. A Program built only against the engine's public
 * headers: it loads its sprites from its resource package (art.pak, opened
 * through prog.xml), draws a scene with transforms, alpha and blend modes,
 * paints light trails into a render target that it draws onto the screen,
 * and reacts to keys:
 *   Space        glows blend additively or normally
 *   Left, Right  slower or faster orbits
 *   Up, Down     zoom the camera in or out
 *   Escape       quit (so does closing the window; automated runs stop it
 *                with VOZER_EXIT_AFTER_FRAMES) */
#include <math.h>
#include <string.h>

#include "demo_sound.h"
#include "vozer_api.h"
#include "demo_animation.h"
#include "demo_text.h"

#define BALLS 12
#define TRAIL_SIZE 256
#define BLEND_NORMAL 0
#define BLEND_ADDITIVE 1

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static float playTime;
static int frames;

static VozerBitmap* ball;
static VozerBitmap* star;
static VozerBitmap* glow;
static VozerBitmap* tile;
static VozerBitmap* trails;   /* render target: the orbits leave light in it */
static int trailsNeedClear = 1;
static int additiveGlow = 1;
static float orbitSpeed = 0.8f;
static float zoom = 1.0f;

static vz_bool VZ_CDECL demoInit(void) {
    zt = program->api;
    zt->Print("Vozer sample game: %dx%d, frame period %d ms.", program->display.width,
              program->display.height, program->display.framePeriodMs);
    ball = zt->GetBitmap("sprites/ball");
    star = zt->GetBitmap("sprites/star");
    glow = zt->GetBitmap("sprites/glow");
    tile = zt->GetBitmap("sprites/tile");
    trails = zt->CreateBitmap("trails", TRAIL_SIZE, TRAIL_SIZE, 1);
    demoTextInit(zt);
    demoAnimationInit(zt);
    demoSoundStart(zt);
    return 1;
}

static void VZ_CDECL demoShutdown(void) {
    demoAnimationShutdown(zt);
    demoTextShutdown(zt);
    zt->Print("Vozer sample game ran %d frames in %.1f s.", frames, playTime);
    zt->ReleaseBitmap(trails);
    zt->ReleaseBitmap(ball);
    zt->ReleaseBitmap(star);
    zt->ReleaseBitmap(glow);
    zt->ReleaseBitmap(tile);
    demoSoundStop(zt);
}

static void VZ_CDECL demoUpdate(float seconds) { playTime += seconds; }

/* A 4x4 row-major matrix: scale about (cx, cy), then a move. */
static void cameraMatrix(float* m, float scale, float cx, float cy) {
    memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = scale;
    m[10] = m[15] = 1.0f;
    m[3] = cx - cx * scale;
    m[7] = cy - cy * scale;
}

static void drawFloor(float width, float height) {
    float x, y;
    if (!tile || tile->width <= 0) return;
    zt->SetBlendMode(BLEND_NORMAL);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(1.0f);
    for (y = 0.0f; y < height; y += (float)tile->height)
        for (x = 0.0f; x < width; x += (float)tile->width) zt->DrawBitmap(tile, x, y);
}

/* The trails fade a little every frame and take a dab of light where each
 * ball is now, in the render target's own 256x256 space. */
static void paintTrails(void) {
    int i;
    if (!trails || !zt->PushRenderTarget(trails)) return;
    if (trailsNeedClear) {
        zt->ClearScreen(0.0f, 0.0f, 0.0f);
        trailsNeedClear = 0;
    }
    zt->SetBlendMode(BLEND_NORMAL);
    zt->SetColor(0.0f, 0.0f, 0.0f);
    zt->SetAlpha(0.06f);
    zt->FillRect(0.0f, 0.0f, (float)TRAIL_SIZE, (float)TRAIL_SIZE);
    zt->SetBlendMode(BLEND_ADDITIVE);
    zt->SetAlpha(0.5f);
    for (i = 0; i < BALLS; ++i) {
        const float angle = playTime * orbitSpeed + (float)i * (6.2831853f / BALLS);
        const float x = (0.5f + 0.3f * cosf(angle)) * TRAIL_SIZE;
        const float y = (0.5f + 0.3f * sinf(angle)) * TRAIL_SIZE;
        zt->SetColor(0.5f + 0.5f * cosf(angle), 0.6f, 0.5f + 0.5f * sinf(angle));
        if (glow) zt->DrawBitmapEx(glow, x, y, 0.0f, 0.25f);
    }
    zt->PopRenderTarget();
}

static void VZ_CDECL demoRender(float seconds) {
    const float width = (float)program->display.width;
    const float height = (float)program->display.height;
    const float radius = (width < height ? width : height) * 0.3f;
    float camera[16];
    int i;
    (void)seconds;
    ++frames;
    zt->ClearScreen(0.08f, 0.10f, 0.16f);
    drawFloor(width, height);
    paintTrails();

    cameraMatrix(camera, zoom, width * 0.5f, height * 0.5f);
    zt->PushTransform(camera);

    /* The trails, stretched under the orbits. */
    zt->SetBlendMode(BLEND_ADDITIVE);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(0.9f);
    if (trails) zt->DrawBitmapEx(trails, width * 0.5f, height * 0.5f, 0.0f, radius * 2.0f / (0.6f * TRAIL_SIZE));

    for (i = 0; i < BALLS; ++i) {
        const float angle = playTime * orbitSpeed + (float)i * (6.2831853f / BALLS);
        const float x = width * 0.5f + cosf(angle) * radius;
        const float y = height * 0.5f + sinf(angle) * radius;
        zt->SetBlendMode(additiveGlow ? BLEND_ADDITIVE : BLEND_NORMAL);
        zt->SetColor(0.5f + 0.5f * cosf(angle), 0.5f + 0.5f * sinf(angle), 0.9f);
        zt->SetAlpha(0.6f);
        if (glow) zt->DrawBitmapEx(glow, x, y, 0.0f, 1.0f);
        zt->SetBlendMode(BLEND_NORMAL);
        zt->SetColor(1.0f, 1.0f, 1.0f);
        zt->SetAlpha(1.0f);
        if (ball) zt->DrawBitmapEx(ball, x, y, angle, 0.6f + 0.2f * sinf(playTime * 2.0f + (float)i));
    }

    /* A star spinning in the middle, fading in and out. */
    zt->SetBlendMode(BLEND_NORMAL);
    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(0.6f + 0.4f * sinf(playTime * 1.5f));
    if (star) zt->DrawBitmapEx(star, width * 0.5f, height * 0.5f, -playTime * 1.2f, 2.0f);

    zt->SetAlpha(1.0f);
    zt->SetColor(0.4f, 0.6f, 1.0f);
    zt->DrawLine(width * 0.5f - radius, height * 0.5f, width * 0.5f + radius, height * 0.5f);
    zt->DrawLine(width * 0.5f, height * 0.5f - radius, width * 0.5f, height * 0.5f + radius);
    zt->PopTransform();

    demoAnimationRender(zt, width, height, playTime);
    demoTextRender(zt, width, height, playTime);
}

static int32_t VZ_CDECL demoOnEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_RENDER_TARGET_LOST) {
        trailsNeedClear = 1;  /* its content is gone: start the trails afresh */
    } else if (event.type == VZ_EVENT_KEY_DOWN) {
        switch (event.words[0]) {
        case VZ_KEY_ESCAPE: zt->Quit(); break;
        case VZ_KEY_SPACE: additiveGlow = !additiveGlow; break;
        case VZ_KEY_LEFT: orbitSpeed *= 0.8f; break;
        case VZ_KEY_RIGHT: orbitSpeed *= 1.25f; break;
        case VZ_KEY_UP: if (zoom < 3.0f) zoom *= 1.1f; break;
        case VZ_KEY_DOWN: if (zoom > 0.4f) zoom /= 1.1f; break;
        default: break;
        }
    }
    demoSoundEvent(zt, &event, program->display.width);
    return 0;
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    if (!record || version != VZ_INTERFACE_VERSION) return 0;
    program = record;
    record->interfaceVersion = VZ_INTERFACE_VERSION;
    strcpy(record->id, "VozerSampleGame");
    strcpy(record->title, "Vozer Sample Game");
    strcpy(record->version, "0.1.0");
    strcpy(record->developerName, "Vozer");
    record->display.width = 800;
    record->display.height = 600;
    record->display.windowed = 1;
    record->display.singleInstance = 1;
    record->display.hibernateUnreferenced = 1;
    record->Init = demoInit;
    record->Shutdown = demoShutdown;
    record->Update = demoUpdate;
    record->Render = demoRender;
    record->OnEvent = demoOnEvent;
    return 1;
}
