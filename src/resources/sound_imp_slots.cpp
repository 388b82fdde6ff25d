// Slots that hand straight through to the bound sound implementation (the
// null one when no sound library works). A null channel is answered here
// without bothering the implementation.
#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz::slots {

namespace {
VozerSoundImp* sound() { return rt().sound; }
}  // namespace

void SoundCommand(int32_t value) {
    if (VozerSoundImp* s = sound()) s->ops->SoundCommand(s, value);
}

#define VZ_CHANNEL_OP(name)                                              \
    void name(VozerChannel channel, float value) {                       \
        VozerSoundImp* s = sound();                                      \
        if (s && channel) s->ops->name(s, channel, value);               \
    }

void ChannelOpA(VozerChannel channel) {
    VozerSoundImp* s = sound();
    if (s && channel) s->ops->ChannelOpA(s, channel);
}
VZ_CHANNEL_OP(ChannelOpB)
VZ_CHANNEL_OP(ChannelOpC)
VZ_CHANNEL_OP(ChannelOpD)
VZ_CHANNEL_OP(ChannelOpE)
VZ_CHANNEL_OP(ChannelOpF)
#undef VZ_CHANNEL_OP

vz_bool ChannelOpG(VozerChannel channel) {
    VozerSoundImp* s = sound();
    return (s && channel) ? s->ops->ChannelOpG(s, channel) : 0;
}

int32_t ChannelOpH(VozerChannel channel) {
    VozerSoundImp* s = sound();
    return (s && channel) ? s->ops->ChannelOpH(s, channel) : 0;
}

void SlideSoundVolume(VozerChannel channel, float target, float seconds) {
    VozerSoundImp* s = sound();
    if (s && channel) s->ops->SlideSoundVolume(s, channel, target, seconds);
}

// A target of -0.1 tells the implementation to fade out and stop.
void FadeOutSound(VozerChannel channel, float seconds) { SlideSoundVolume(channel, -0.1f, seconds); }

void SetMusicVolume(float volume) {
    if (VozerSoundImp* s = sound()) s->ops->SetMusicVolume(s, volume);
}

VozerSound* GetCurrentMusic() {
    VozerSoundImp* s = sound();
    return s ? s->ops->GetCurrentMusic(s) : nullptr;
}

}  // namespace vz::slots
