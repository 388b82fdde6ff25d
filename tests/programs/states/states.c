/* A test Program that draws with the renderer states games rarely touch, in a
 * fixed scene the case checks pixel by pixel (frame_check.py works out the
 * same scene on its own). On black, 640x480, windowed:
 *   depth       rectangles at depths other than the screen plane, under the
 *               default depth range and under another one (perspective)
 *   z-buffer    depth test and depth write (states 10, 11), a rectangle
 *               hidden behind a nearer one, ClearDepth to 1 (it shows again)
 *               and to 0 (nothing passes)
 *   cull        state 12: clockwise and counter-clockwise culling keep one
 *               triangle of a quad each
 *   world       a rectangle under a pushed transform (scale and move)
 *   dot3        the "!DOT3_DIRECTIONAL" shader: a flat normal map lit from
 *               the front and from the side, times a colour texture
 *   mesh        an indexed triangle list that skips one of its vertices
 *   blend       half-transparent white after the blend modes 2, 7 and 0
 * Trace lines: "shader 1", "param20 2.5" (a parameter above 15 kept in the
 * record), "frames N". */
#include "../test_program.h"
#include "vozer_rendimp.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static VozerShader* dot3;
static VozerBitmap* normals;
static VozerBitmap* stone;
static int frames;

static vz_bool VZ_CDECL statesInit(void) {
    float value = 2.5f;
    zt = program->api;
    normals = zt->GetBitmap("normals");
    stone = zt->GetBitmap("stone");
    dot3 = zt->shaders->GetShader("!DOT3_DIRECTIONAL");
    noteInt("shader", dot3 != NULL && normals != NULL && stone != NULL);
    if (dot3) {
        char text[32];
        zt->shaders->SetShaderParam(dot3, 20, &value);
        sprintf(text, "%g", (double)((const VozerShaderRecord*)dot3)->parameters[20]);
        note("param20", text);
    }
    return 1;
}

static void VZ_CDECL statesUpdate(float seconds) { (void)seconds; }

static void rect(float x, float y, float r, float g, float b, float z) {
    zt->SetColor(r, g, b);
    zt->SetDepth(z);
    zt->FillRect(x, y, 40.0f, 40.0f);
}

static void light(float x, float y, float dx, float dy, float dz) {
    zt->shaders->SetShaderParam(dot3, 0, &dx);
    zt->shaders->SetShaderParam(dot3, 1, &dy);
    zt->shaders->SetShaderParam(dot3, 2, &dz);
    zt->shaders->DrawBitmapShaded(normals, x + 16.0f, y + 16.0f, 0.0f, 1.0f);
}

static VozerVertex vertex(float x, float y, uint32_t colour) {
    VozerVertex v;
    v.x = x, v.y = y, v.z = 0.5f, v.color = colour, v.u = 0.0f, v.v = 0.0f;
    return v;
}

static void VZ_CDECL statesRender(float seconds) {
    static const float MOVE[16] = {2, 0, 0, 500, 0, 2, 0, 20, 0, 0, 1, 0, 0, 0, 0, 1};
    VozerVertex mesh[4];
    uint16_t indices[3] = {0, 2, 3};
    (void)seconds;
    ++frames;
    zt->ClearScreen(0.0f, 0.0f, 0.0f);
    zt->ClearDepth(1.0f);
    zt->SetBlendMode(0);
    zt->SetAlpha(1.0f);

    /* Depth: the screen plane (0.5) and off it, default range, then another. */
    rect(20, 20, 1, 0, 0, 0.5f);
    rect(80, 20, 1, 0, 0, 0.3f);
    rect(140, 20, 1, 0, 0, 0.8f);
    zt->SetDepthRange(0.1f, 0.8f, 2.0f);
    rect(220, 20, 0, 1, 0, 0.8f);
    rect(280, 20, 0, 1, 0, 0.4f);
    rect(340, 20, 0, 1, 0, 1.5f);
    zt->SetDepthRange(0.1f, 0.5f, 1.0f);

    /* The z-buffer: a far rectangle behind a near one, then after ClearDepth(1)
     * and ClearDepth(0). */
    zt->SetRenderStateb(VZ_STATE_DEPTH_TEST, 1);
    zt->SetRenderStateb(VZ_STATE_DEPTH_WRITE, 1);
    rect(20, 120, 1, 0, 0, 0.45f);
    rect(40, 130, 0, 1, 0, 0.55f);
    rect(120, 120, 1, 0, 0, 0.45f);
    zt->ClearDepth(1.0f);
    rect(140, 130, 0, 1, 0, 0.55f);
    zt->ClearDepth(0.0f);
    rect(220, 120, 0, 0, 1, 0.5f);
    zt->SetRenderStateb(VZ_STATE_DEPTH_TEST, 0);
    zt->SetRenderStateb(VZ_STATE_DEPTH_WRITE, 0);
    zt->ClearDepth(1.0f);

    /* Culling keeps one triangle of a quad. */
    zt->SetRenderStatei(VZ_STATE_CULL_MODE, 1);
    rect(320, 120, 1, 1, 0, 0.5f);
    zt->SetRenderStatei(VZ_STATE_CULL_MODE, 2);
    rect(380, 120, 0, 1, 1, 0.5f);
    zt->SetRenderStatei(VZ_STATE_CULL_MODE, 0);
    rect(440, 120, 1, 0, 1, 0.5f);

    /* The world transform: twice the size, moved to (500, 20). */
    zt->PushTransform(MOVE);
    rect(0, 0, 1, 1, 1, 0.5f);
    zt->PopTransform();

    /* DOT3: lit from the front, then from the side. */
    zt->SetColor(1, 1, 1);
    zt->SetDepth(0.5f);
    zt->shaders->SetShader(dot3);
    zt->shaders->SetShaderTexture(0, normals);
    zt->shaders->SetShaderTexture(1, stone);
    light(20, 220, 0.0f, 0.0f, 1.0f);
    light(80, 220, 1.0f, 0.0f, 0.0f);
    zt->shaders->SetShader(NULL);
    zt->shaders->SetShaderTexture(1, NULL);

    /* An indexed triangle list of one triangle that leaves out vertex 1. */
    mesh[0] = vertex(160, 220, 0xFF00FFFFu);
    mesh[1] = vertex(260, 220, 0xFFFF0000u);
    mesh[2] = vertex(160, 300, 0xFF00FFFFu);
    mesh[3] = vertex(200, 260, 0xFF00FFFFu);
    zt->DrawMesh(NULL, mesh, 4, indices, 3);

    /* Half-transparent white over black: opaque in mode 2, blended after it. */
    zt->SetColor(1, 1, 1);
    zt->SetAlpha(0.5f);
    zt->SetBlendMode(2);
    zt->FillRect(320, 220, 40, 40);
    zt->SetBlendMode(7);
    zt->FillRect(380, 220, 40, 40);
    zt->SetBlendMode(0);
    zt->FillRect(440, 220, 40, 40);
    zt->SetAlpha(1.0f);
}

static void VZ_CDECL statesShutdown(void) { noteInt("frames", frames); }

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerStatesTest", "States Test");
    record->Init = statesInit;
    record->Update = statesUpdate;
    record->Render = statesRender;
    record->Shutdown = statesShutdown;
    return 1;
}
