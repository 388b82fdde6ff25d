/* A test Program that plays a bitmap sequence as a game does: it asks for
 * "anim" (found as anim.bms), and on every frame shows the sequence frame
 * whose file number is the latest one not after the frame's tick, so a gap
 * in the numbering holds the earlier image and the animation loops after its
 * last number. Each render is traced as "render TICK INDEX". */
#include "../test_program.h"

static VozerProgramRecord* program;
static VozerEngineApi* zt;
static VozerBitmap* anim;
static long ticks;

static vz_bool VZ_CDECL sequenceInit(void) {
    char numbers[256] = "";
    int32_t i;
    zt = program->api;
    anim = zt->GetBitmap("anim");
    noteInt("frames", anim ? anim->frameCount : -1);
    for (i = 0; anim && i < anim->frameCount && strlen(numbers) < 200; ++i)
        sprintf(numbers + strlen(numbers), "%s%d", i ? "," : "", (int)anim->frames[i].frameNumber);
    note("numbers", numbers);
    noteInt("atlas", anim && anim->atlas != NULL);
    return 1;
}

static void VZ_CDECL sequenceUpdate(float seconds) { (void)seconds; }

static void VZ_CDECL sequenceRender(float seconds) {
    char line[64];
    int32_t i, shown = 0, last;
    long tick = ticks++;
    (void)seconds;
    if (!anim || anim->frameCount < 1) return;
    last = anim->frames[anim->frameCount - 1].frameNumber;
    tick %= last + 1;
    for (i = 0; i < anim->frameCount; ++i)
        if (anim->frames[i].frameNumber <= tick) shown = i;
    zt->SetBitmapFrame(anim, shown);
    zt->DrawBitmap(anim, 100.0f, 100.0f);
    sprintf(line, "%ld %d", ticks - 1, (int)shown);
    note("render", line);
}

static void VZ_CDECL sequenceShutdown(void) {
    zt->ReleaseBitmap(anim);
    note("released", "1");
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerSequenceTest", "Sequence Test");
    record->display.hibernateUnreferenced = 1;
    record->Init = sequenceInit;
    record->Update = sequenceUpdate;
    record->Render = sequenceRender;
    record->Shutdown = sequenceShutdown;
    return 1;
}
