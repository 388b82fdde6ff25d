// Slots that hand straight through to the bound sound implementation (the
// null one when no sound library works). What the channel operations and
// the sound command mean is the implementation's; the runtime only keeps a
// null channel from reaching it.
#include "api/engine_api.h"
#include "resources/sound_pool.h"

namespace vz::slots {

using sound::implementation;

void SoundCommand(int32_t value) {
    VozerSoundImp* s = implementation();
    s->ops->SoundCommand(s, value);
}

#define VZ_CHANNEL_OP(name)                                              \
    void name(VozerChannel channel, float value) {                       \
        VozerSoundImp* s = implementation();                             \
        if (channel) s->ops->name(s, channel, value);                    \
    }

void ChannelOpA(VozerChannel channel) {
    VozerSoundImp* s = implementation();
    if (channel) s->ops->ChannelOpA(s, channel);
}
VZ_CHANNEL_OP(ChannelOpB)
VZ_CHANNEL_OP(ChannelOpC)
VZ_CHANNEL_OP(ChannelOpD)
VZ_CHANNEL_OP(ChannelOpE)
VZ_CHANNEL_OP(ChannelOpF)
#undef VZ_CHANNEL_OP

vz_bool ChannelOpG(VozerChannel channel) {
    VozerSoundImp* s = implementation();
    return channel ? s->ops->ChannelOpG(s, channel) : 0;
}

int32_t ChannelOpH(VozerChannel channel) {
    VozerSoundImp* s = implementation();
    return channel ? s->ops->ChannelOpH(s, channel) : 0;
}

void SlideSoundVolume(VozerChannel channel, float target, float seconds) {
    VozerSoundImp* s = implementation();
    if (channel) s->ops->SlideSoundVolume(s, channel, target, seconds);
}

// A target of -0.1 tells the implementation to fade out and stop.
void FadeOutSound(VozerChannel channel, float seconds) { SlideSoundVolume(channel, -0.1f, seconds); }

VozerSound* GetCurrentMusic() {
    VozerSoundImp* s = implementation();
    return s->ops->GetCurrentMusic(s);
}

}  // namespace vz::slots
