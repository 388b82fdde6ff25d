/* The sound implementation interface: the object a sound library hands out
 * through VOZER_SoundImp_GetInterface. 29 member-call operations.
 * NEVER MOVE AN OPERATION. */
#ifndef VOZER_SOUNDIMP_H
#define VOZER_SOUNDIMP_H

#include "vozer_types.h"
#include "vozer_program.h"

struct VozerRuntimeShared;
typedef struct VozerSoundImp VozerSoundImp;

/* X(slot, result, Name, (self, parameters)). */
#define VOZER_SOUNDIMP_OPS(X) \
    /* Reserved; the runtime never calls it. */ \
    X(0, vz_bool, Reserved0, (VozerSoundImp* self)) \
    /* Display name. */ \
    X(1, const char*, GetName, (VozerSoundImp* self)) \
    /* Start the device; false makes the runtime fall back to silence. */ \
    X(2, vz_bool, Init, (VozerSoundImp* self, struct VozerRuntimeShared* runtime, VozerDisplayParams* params)) \
    /* Stop the device; called before unloading and before a rebind. */ \
    X(3, void, Shutdown, (VozerSoundImp* self)) \
    /* Load the sound's data from `fileName`; false lets the runtime try the next format. */ \
    X(4, vz_bool, LoadSound, (VozerSoundImp* self, VozerSound* sound, const char* fileName)) \
    /* Drop the sound's data. */ \
    X(5, void, FreeSound, (VozerSoundImp* self, VozerSound* sound)) \
    /* Engine API slot 58. */ \
    X(6, void, SoundCommand, (VozerSoundImp* self, int32_t value)) \
    /* Play; null channel when not played. */ \
    X(7, VozerChannel, PlaySound, (VozerSoundImp* self, VozerSound* sound, float value1, float value2, float value3)) \
    X(8, void, ChannelOpA, (VozerSoundImp* self, VozerChannel channel)) \
    X(9, void, ChannelOpB, (VozerSoundImp* self, VozerChannel channel, float value)) \
    X(10, void, ChannelOpC, (VozerSoundImp* self, VozerChannel channel, float value)) \
    X(11, void, ChannelOpD, (VozerSoundImp* self, VozerChannel channel, float value)) \
    X(12, void, ChannelOpE, (VozerSoundImp* self, VozerChannel channel, float value)) \
    X(13, void, ChannelOpF, (VozerSoundImp* self, VozerChannel channel, float value)) \
    X(14, vz_bool, ChannelOpG, (VozerSoundImp* self, VozerChannel channel)) \
    X(15, int32_t, ChannelOpH, (VozerSoundImp* self, VozerChannel channel)) \
    /* Slide to `target` over `seconds`; -0.1 fades out. */ \
    X(16, void, SlideSoundVolume, (VozerSoundImp* self, VozerChannel channel, float target, float seconds)) \
    /* Looping music at `volume` (0..1) faded in over `fadeInSeconds`. */ \
    X(17, void, PlayMusic, (VozerSoundImp* self, VozerSound* sound, float volume, float fadeInSeconds)) \
    X(18, void, StopMusic, (VozerSoundImp* self, float fadeOutSeconds)) \
    X(19, void, SetMusicVolume, (VozerSoundImp* self, float volume)) \
    /* The music playing now, or null. */ \
    X(20, VozerSound*, GetCurrentMusic, (VozerSoundImp* self)) \
    X(21, void, SlideMusicVolume, (VozerSoundImp* self, float target, float seconds)) \
    X(22, void, Reserved22, (VozerSoundImp* self, int32_t value)) \
    /* Every frame, before the Program's Update. */ \
    X(23, void, FrameBegin, (VozerSoundImp* self)) \
    /* Every frame, after the Program has drawn. */ \
    X(24, void, FrameEnd, (VozerSoundImp* self)) \
    X(25, void, Reserved25, (VozerSoundImp* self, int32_t a, int32_t b)) \
    X(26, void, Reserved26, (VozerSoundImp* self, int32_t a)) \
    X(27, vz_bool, Reserved27, (VozerSoundImp* self, int32_t a)) \
    X(28, void, Reserved28, (VozerSoundImp* self, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e))

#define VZ_SOUNDIMP_OP_COUNT 29

typedef struct VozerSoundImpOps {
#define VZ_SOUNDIMP_MEMBER(slot, result, name, params) result (VZ_THISCALL *name) params;
    VOZER_SOUNDIMP_OPS(VZ_SOUNDIMP_MEMBER)
#undef VZ_SOUNDIMP_MEMBER
} VozerSoundImpOps;

struct VozerSoundImp {
    const VozerSoundImpOps* ops;
};

VZ_STATIC_ASSERT(sizeof(VozerSoundImpOps) == VZ_SOUNDIMP_OP_COUNT * sizeof(void*), "29 sound operations");

typedef VozerSoundImp* (VZ_CDECL *VozerSoundImpGetInterfaceFn)(void);
#define VZ_SOUNDIMP_EXPORT "VOZER_SoundImp_GetInterface"

#endif
