// Music: one sound record at a time, played looping by the sound
// implementation. The runtime checks and clamps what the Program asks, keeps
// the "music is playing" flag, slides the volume of music that is asked to
// play again instead of restarting it, and stops the old music (with a
// one-second fade) before starting another.
#include <atomic>
#include <cmath>

#include "api/engine_api.h"
#include "resources/sound_pool.h"
#include "state/runtime_state.h"

namespace vz {
namespace sound {

namespace {

std::atomic<bool>& musicPlaying() {
    static std::atomic<bool> playing{false};
    return playing;
}

// Volumes travel to the implementation within 0..1; a NaN (a Program's
// arithmetic gone wrong) is silence rather than full volume.
float clampVolume(float volume) {
    if (!(volume > 0.0f)) return 0.0f;
    return volume < 1.0f ? volume : 1.0f;
}

// Times travel as seconds of 0 or more; a NaN or negative time is "at once".
float validSeconds(float seconds) { return seconds > 0.0f ? seconds : 0.0f; }

bool outsideUnit(float value) { return !(value >= 0.0f && value <= 1.0f); }

bool developerMode() { return rt().boot.developerMode; }

}  // namespace

void resetMusic() { musicPlaying() = false; }

}  // namespace sound

namespace slots {

void PlayMusic(VozerSound* sound, float volume, float fadeInSeconds) {
    if (!sound::isPoolRecord(sound) || !sound->name) return;
    VozerEngineApi* a = api();
    if (sound::developerMode()) {
        if (fadeInSeconds > 10.0f) a->Popup(VZ_WARNING, "ZT_PlayMusic: Fade in time is suspiciously high (%g)", fadeInSeconds);
        if (sound::outsideUnit(volume)) a->Popup(VZ_WARNING, "ZT_PlayMusic: Volume parameter out of range 0..1 (%g)", volume);
    }
    volume = sound::clampVolume(volume);
    fadeInSeconds = sound::validSeconds(fadeInSeconds);

    VozerSound* current = GetCurrentMusic();
    if (sound::musicPlaying() && current == sound) {
        SlideMusicVolume(volume, 1.0f);  // the music keeps playing
        return;
    }
    if (current) StopMusic(1.0f);
    if (sound->name[0] == '!') return;  // a placeholder plays silence
    if (std::fabs(volume) < 0.000001f) fadeInSeconds = 0.0f;
    VozerSoundImp* imp = sound::implementation();
    imp->ops->PlayMusic(imp, sound, volume, fadeInSeconds);
    sound::musicPlaying() = true;
}

void StopMusic(float fadeOutSeconds) {
    if (!sound::musicPlaying().exchange(false)) return;
    if (sound::developerMode() && fadeOutSeconds > 7.0f) {
        api()->Popup(VZ_WARNING, "Fade out time in ZT_StopMusic suspiciously high (%g)", fadeOutSeconds);
    }
    VozerSoundImp* imp = sound::implementation();
    imp->ops->StopMusic(imp, sound::validSeconds(fadeOutSeconds));
}

void SlideMusicVolume(float target, float seconds) {
    VozerEngineApi* a = api();
    if (sound::developerMode()) {
        if (seconds > 10.0f) a->Popup(VZ_WARNING, "ZT_SlideMusicVolume: slide_time is suspiciously high (%g)", seconds);
        if (sound::outsideUnit(target)) {
            a->Popup(VZ_WARNING, "ZT_SlideMusicVolume: target_volume parameter out of range 0..1 (%g)", target);
        }
    }
    VozerSoundImp* imp = sound::implementation();
    imp->ops->SlideMusicVolume(imp, sound::clampVolume(target), sound::validSeconds(seconds));
}

void SetMusicVolume(float volume) {
    VozerSoundImp* imp = sound::implementation();
    imp->ops->SetMusicVolume(imp, sound::clampVolume(volume));
}

void SetMusicLooping(vz_bool) { api()->Popup(VZ_WARNING, "SetMusicLooping is deprecated: music is always looping."); }

}  // namespace slots
}  // namespace vz
