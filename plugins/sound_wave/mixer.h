// The software mixer: up to 64 voices and the music, each with its own
// volume, pan, pitch and looping, mixed into 16-bit stereo at the output
// rate. Effects play from memory or stream from a decoder; music streams and
// loops without a gap. Volume changes that take time (slides, fades) move
// sample by sample, so nothing clicks.
//
// Every public call may come from any thread; one lock guards the voices,
// and mix() holds it for one block (a few hundred microseconds at most).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "decoder.h"

namespace wave {

constexpr int OUTPUT_RATE = 44100;
constexpr int OUTPUT_CHANNELS = 2;
constexpr int MAX_VOICES = 64;

// A playing voice: never 0. A handle whose voice has ended or been reused
// is ignored by every call.
using Channel = uint32_t;

struct VoiceSettings {
    float volume = 1.0f;  // 0..1
    float pan = 0.0f;     // -1 left .. 1 right; the far side is silent at +-1, both full at 0
    float pitch = 1.0f;   // playback speed, 0.25..4
    bool loop = false;
    // The output frame (counted from the mixer's first) at which the voice
    // starts; one already mixed means "at once". A request made while the
    // mixing thread lags behind the clock then still sounds when it was made.
    int64_t startFrame = 0;
};

// The values the Program passes, made safe: NaN volume is silence, NaN pan
// the centre, NaN pitch the normal speed; everything clamped to its range.
VoiceSettings sanitise(float volume, float pan, float pitch);

class Mixer {
public:
    explicit Mixer(int outputRate = OUTPUT_RATE);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Start a voice from memory or from a decoder (which the voice then owns).
    // `owner` identifies the sound for forget(); `label` names it in messages.
    // 0 when every voice is busy or the sound is empty.
    Channel play(std::shared_ptr<const Pcm> pcm, const void* owner, const VoiceSettings& settings);
    Channel playStream(std::unique_ptr<Decoder> decoder, const void* owner, const std::string& label,
                       const VoiceSettings& settings);

    void stop(Channel channel);
    void setVolume(Channel channel, float volume);
    void setPan(Channel channel, float pan);
    void setPitch(Channel channel, float pitch);
    void setLooping(Channel channel, bool loop);
    bool isPlaying(Channel channel);
    // Milliseconds of the sound played so far (0 for a voice that has ended).
    int32_t positionMs(Channel channel);
    // Move the volume to `target` over `seconds`; a negative target fades to
    // silence and stops the voice.
    void slideVolume(Channel channel, float target, float seconds);
    // Every effect voice (not the music).
    void stopAllSounds();
    void pauseSounds(bool paused);

    // Music: one piece at a time, looping. A new piece starts while the one
    // it replaces goes on fading out if a fade was asked for.
    void playMusic(std::shared_ptr<const Pcm> pcm, std::unique_ptr<Decoder> decoder, const void* owner,
                   const std::string& label, float volume, float fadeInSeconds, int64_t startFrame = 0);
    void stopMusic(float fadeOutSeconds);
    void setMusicVolume(float volume);
    void slideMusicVolume(float target, float seconds);
    // The owner of the music playing now, or null.
    const void* currentMusic();

    // Stop every voice and the music of this owner (its data is going away).
    void forget(const void* owner);
    void stopEverything();

    // Mix `frames` frames of interleaved stereo into `out`.
    void mix(int16_t* out, int frames);

    // What went wrong while mixing (streams that broke off), for the log.
    std::vector<std::string> takeMessages();
    int activeVoices();
    int outputRate() const { return outputRate_; }
    // Output frames mixed so far.
    int64_t mixedFrames();

private:
    struct Voice;
    Voice* find(Channel channel);
    Channel start(Voice& voice);
    // A sound (not music) voice whose source and format are set: takes the
    // caller's settings and starts it. The lock is held.
    Channel startSound(Voice& voice, const void* owner, const std::string& label, const VoiceSettings& settings);
    Voice* freeVoice();
    void mixVoice(Voice& voice, float* out, int frames);
    bool fillStream(Voice& voice, int frames);
    void startRamp(Voice& voice, float target, float seconds, bool stopAtEnd);

    std::mutex lock_;
    int outputRate_;
    std::vector<Voice> voices_;  // MAX_VOICES effects, then two music voices
    Channel music_ = 0;
    bool paused_ = false;
    int64_t mixed_ = 0;
    std::vector<float> accumulator_;
    std::vector<float> envelope_;
    std::vector<std::string> messages_;
};

}  // namespace wave
