// The sound manager's slots. Sound records are not loaded by this build yet:
// every request answers as for a sound file that cannot be found, so nothing
// plays and music stays silent.
#include "api/engine_api.h"

namespace vz::slots {

VozerSound* GetSound(const char*) { return nullptr; }
VozerSound* LoadSound(const char*) { return nullptr; }
VozerSound* GetSoundEx(const char*, int32_t) { return nullptr; }
void ReleaseSound(VozerSound*) { }
void SetSoundCacheMode(VozerSound*, int32_t) { }
VozerChannel PlaySound(VozerSound*, float, float, float) { return nullptr; }
void PlayMusic(VozerSound*, float, float) { }
void StopMusic(float) { }
void SetMusicLooping(vz_bool) { }
void SlideMusicVolume(float, float) { }

}  // namespace vz::slots
