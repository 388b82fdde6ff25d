// The silent sound implementation: bound whenever no sound library loads or
// starts. Everything answers as "done, nothing to report", so games keep
// running without sound.
#include "core/plugin_binding.h"

namespace vz {

namespace {

using S = VozerSoundImp;

vz_bool VZ_THISCALL answerTrue(S*) { return 1; }
const char* VZ_THISCALL getName(S*) { return "SoundImp Null"; }
vz_bool VZ_THISCALL init(S*, VozerRuntimeShared*, VozerDisplayParams*) { return 1; }
void VZ_THISCALL nothing(S*) {}
vz_bool VZ_THISCALL loadSound(S*, VozerSound*, const char*) { return 1; }
void VZ_THISCALL freeSound(S*, VozerSound*) {}
void VZ_THISCALL soundCommand(S*, int32_t) {}
VozerChannel VZ_THISCALL playSound(S*, VozerSound*, float, float, float) { return nullptr; }
void VZ_THISCALL channelOp(S*, VozerChannel) {}
void VZ_THISCALL channelOpValue(S*, VozerChannel, float) {}
vz_bool VZ_THISCALL channelOpG(S*, VozerChannel) { return 0; }
int32_t VZ_THISCALL channelOpH(S*, VozerChannel) { return 0; }
void VZ_THISCALL slideSoundVolume(S*, VozerChannel, float, float) {}
void VZ_THISCALL playMusic(S*, VozerSound*, float, float) {}
void VZ_THISCALL oneFloat(S*, float) {}
VozerSound* VZ_THISCALL getCurrentMusic(S*) { return nullptr; }
void VZ_THISCALL twoFloats(S*, float, float) {}
void VZ_THISCALL oneInt(S*, int32_t) {}
void VZ_THISCALL twoInts(S*, int32_t, int32_t) {}
vz_bool VZ_THISCALL oneIntTrue(S*, int32_t) { return 1; }
void VZ_THISCALL fiveInts(S*, int32_t, int32_t, int32_t, int32_t, int32_t) {}

const VozerSoundImpOps OPS = {
    answerTrue,     getName,        init,           nothing,        loadSound,
    freeSound,      soundCommand,   playSound,      channelOp,      channelOpValue,
    channelOpValue, channelOpValue, channelOpValue, channelOpValue, channelOpG,
    channelOpH,     slideSoundVolume, playMusic,    oneFloat,       oneFloat,
    getCurrentMusic, twoFloats,     oneInt,         nothing,        nothing,
    twoInts,        oneInt,         oneIntTrue,     fiveInts,
};

VozerSoundImp nullSound{&OPS};

}  // namespace

VozerSoundImp* nullSoundImp() { return &nullSound; }

}  // namespace vz
