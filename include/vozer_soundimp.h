/* The sound implementation interface: the object a sound library hands out
 * through VOZER_SoundImp_GetInterface. 29 member-call operations.
 * NEVER MOVE AN OPERATION. */
#ifndef VOZER_SOUNDIMP_H
#define VOZER_SOUNDIMP_H

#include "vozer_types.h"
#include "vozer_program.h"

struct VozerRuntimeShared;
typedef struct VozerSoundImp VozerSoundImp;

/* The sound record, pooled by the runtime (256 of them) and lent to the
 * implementation by address: the implementation reads the names and writes
 * only `dataSize` and `implData`. 84 bytes on i686. */
struct VozerSound {
    char* name;             /* owned copy of the request name; null = free slot; never freed by the implementation */
    uint16_t reserved0;
    int16_t refCount;       /* the runtime's; placeholders ('!' names) are never counted */
    int8_t cacheMode;       /* 0 nothing loaded, 4 loaded (VZ_CACHE_HARDWARE) */
    uint8_t pad0[3];
    uint8_t reserved1[8];
    char* fileName;         /* the file actually loaded (owned by the runtime), or null */
    uint8_t flags;          /* VZ_SOUND_COUNTED */
    uint8_t pad1[3];
    uint8_t reserved2[8];
    float defaults[4];      /* 1.0, 0.0, 1.0, 0.0 when made; the implementation's to read, never the runtime's */
    int32_t defaultInt;     /* -1 when made; the implementation's to read */
    uint32_t lastPlayTime;  /* GetTime milliseconds of the last accepted PlaySound; 0 = never */
    uint8_t reserved3[16];
    int32_t dataSize;       /* implementation: bytes of loaded data (the usage report reads it); cleared on drop */
    void* implData;         /* implementation: its handle for the loaded data; cleared on drop */
};

/* Sound flags. */
#define VZ_SOUND_COUNTED 0x01   /* counted once by GetSoundEx */

#if VZ_LAYOUT_IS_I686
VZ_STATIC_ASSERT(sizeof(struct VozerSound) == 84, "the sound record is 84 bytes");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, refCount) == 6, "refCount at 6");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, cacheMode) == 8, "cacheMode at 8");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, fileName) == 20, "fileName at 20");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, flags) == 24, "flags at 24");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, defaults) == 36, "defaults at 36");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, defaultInt) == 52, "defaultInt at 52");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, lastPlayTime) == 56, "lastPlayTime at 56");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, dataSize) == 76, "dataSize at 76");
VZ_STATIC_ASSERT(offsetof(struct VozerSound, implData) == 80, "implData at 80");
#endif

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
    /* Load the sound's data from `fileName` (a name for the engine's file slots); false lets the runtime try the next format. */ \
    X(4, vz_bool, LoadSound, (VozerSoundImp* self, VozerSound* sound, const char* fileName)) \
    /* Drop the sound's data (also stops it playing); the runtime then clears dataSize and implData. */ \
    X(5, void, FreeSound, (VozerSoundImp* self, VozerSound* sound)) \
    /* Engine API slot 58. */ \
    X(6, void, SoundCommand, (VozerSoundImp* self, int32_t value)) \
    /* Play once; the three values are the implementation's (volume, pan, pitch for most). Null channel when not played. */ \
    X(7, VozerChannel, PlaySound, (VozerSoundImp* self, VozerSound* sound, float value1, float value2, float value3)) \
    /* Channel operations 8-15: the implementation's own meaning; never called with a null channel. */ \
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
    /* Stop the music, fading out over `fadeOutSeconds` (0 = at once). */ \
    X(18, void, StopMusic, (VozerSoundImp* self, float fadeOutSeconds)) \
    /* Music volume, 0..1 (clamped by the runtime). */ \
    X(19, void, SetMusicVolume, (VozerSoundImp* self, float volume)) \
    /* The music playing now, or null. */ \
    X(20, VozerSound*, GetCurrentMusic, (VozerSoundImp* self)) \
    /* Slide the music volume to `target` (0..1) over `seconds`. */ \
    X(21, void, SlideMusicVolume, (VozerSoundImp* self, float target, float seconds)) \
    /* Reserved (22, 25-28); the runtime never calls them, they need only exist. */ \
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
