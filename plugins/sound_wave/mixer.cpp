// The mixer's voices and the mixing itself. Positions are 32.32 fixed-point
// source frames; a voice at the output rate and normal pitch takes the plain
// path (one source frame per output frame, no interpolation), every other
// voice is resampled linearly.
#include "mixer.h"

#include <algorithm>
#include <cmath>

namespace wave {

namespace {

constexpr uint64_t ONE = uint64_t(1) << 32;
constexpr uint64_t FRACTION = ONE - 1;
constexpr int MUSIC_VOICES = 2;  // the piece playing and the one fading out beside it
constexpr int MAX_STREAM_READ = 16384;

float clampTo(float value, float low, float high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

VoiceSettings sanitise(float volume, float pan, float pitch) {
    VoiceSettings s;
    s.volume = volume == volume ? clampTo(volume, 0.0f, 1.0f) : 0.0f;
    s.pan = pan == pan ? clampTo(pan, -1.0f, 1.0f) : 0.0f;
    s.pitch = pitch > 0.0f ? clampTo(pitch, 0.25f, 4.0f) : 1.0f;  // also NaN
    return s;
}

struct Mixer::Voice {
    bool active = false;
    bool music = false;
    uint32_t generation = 0;
    const void* owner = nullptr;
    std::string label;
    std::shared_ptr<const Pcm> pcm;
    std::unique_ptr<Decoder> stream;
    std::vector<int16_t> staging;  // decoded stream frames not yet played
    int64_t stagingFrames = 0;
    int64_t consumedFrames = 0;    // stream frames dropped from the staging buffer
    bool streamEnded = false;
    int channels = 0;
    int rate = 0;
    uint64_t position = 0;  // source frames, 32.32; streams count from the staging buffer's start
    uint64_t step = ONE;
    float pitch = 1.0f;
    float pan = 0.0f;
    bool loop = false;
    int64_t startFrame = 0; // output frame at which it begins to sound
    float level = 1.0f;     // the volume now
    float target = 1.0f;    // where a slide is heading
    int64_t rampLeft = 0;   // output frames until it gets there
    bool stopAtRampEnd = false;

    void computeStep(int outputRate) {
        step = static_cast<uint64_t>(static_cast<double>(rate) / outputRate * pitch * static_cast<double>(ONE));
        if (step == 0) step = 1;
    }
    void release() {
        active = false;
        ++generation;
        owner = nullptr;
        pcm.reset();
        stream.reset();
        staging.clear();
        staging.shrink_to_fit();
        stagingFrames = consumedFrames = 0;
        streamEnded = false;
        rampLeft = 0;
        stopAtRampEnd = false;
    }
};

Mixer::Mixer(int outputRate) : outputRate_(outputRate), voices_(MAX_VOICES + MUSIC_VOICES) {}
Mixer::~Mixer() = default;

Mixer::Voice* Mixer::find(Channel channel) {
    const uint32_t index = (channel & 0xFF) - 1;
    if (channel == 0 || index >= voices_.size()) return nullptr;
    Voice& voice = voices_[index];
    if (!voice.active || (voice.generation & 0xFFFFFF) != (channel >> 8)) return nullptr;
    return &voice;
}

Channel Mixer::start(Voice& voice) {
    voice.active = true;
    voice.computeStep(outputRate_);
    const uint32_t index = static_cast<uint32_t>(&voice - voices_.data());
    return ((voice.generation & 0xFFFFFF) << 8) | (index + 1);
}

Mixer::Voice* Mixer::freeVoice() {
    for (int i = 0; i < MAX_VOICES; ++i)
        if (!voices_[i].active) return &voices_[i];
    return nullptr;
}

Channel Mixer::play(std::shared_ptr<const Pcm> pcm, const void* owner, const VoiceSettings& settings) {
    if (!pcm || pcm->frames() <= 0) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = freeVoice();
    if (!voice) return 0;
    voice->channels = pcm->channels;
    voice->rate = pcm->rate;
    voice->pcm = std::move(pcm);
    return startSound(*voice, owner, std::string(), settings);
}

Channel Mixer::playStream(std::unique_ptr<Decoder> decoder, const void* owner, const std::string& label,
                          const VoiceSettings& settings) {
    if (!decoder) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = freeVoice();
    if (!voice) return 0;
    voice->channels = decoder->channels();
    voice->rate = decoder->rate();
    voice->stream = std::move(decoder);
    return startSound(*voice, owner, label, settings);
}

Channel Mixer::startSound(Voice& voice, const void* owner, const std::string& label, const VoiceSettings& settings) {
    voice.music = false;
    voice.owner = owner;
    voice.label = label;
    voice.position = 0;
    voice.startFrame = settings.startFrame;
    voice.pitch = settings.pitch;
    voice.pan = settings.pan;
    voice.loop = settings.loop;
    voice.level = voice.target = settings.volume;
    return start(voice);
}

void Mixer::stop(Channel channel) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(channel)) voice->release();
}

void Mixer::setVolume(Channel channel, float volume) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(channel)) {
        voice->level = voice->target = sanitise(volume, 0.0f, 1.0f).volume;
        voice->rampLeft = 0;
        voice->stopAtRampEnd = false;
    }
}

void Mixer::setPan(Channel channel, float pan) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(channel)) voice->pan = sanitise(1.0f, pan, 1.0f).pan;
}

void Mixer::setPitch(Channel channel, float pitch) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(channel)) {
        voice->pitch = sanitise(1.0f, 0.0f, pitch).pitch;
        voice->computeStep(outputRate_);
    }
}

void Mixer::setLooping(Channel channel, bool loop) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(channel)) voice->loop = loop;
}

bool Mixer::isPlaying(Channel channel) {
    std::lock_guard<std::mutex> hold(lock_);
    return find(channel) != nullptr;
}

int32_t Mixer::positionMs(Channel channel) {
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = find(channel);
    if (!voice || voice->rate <= 0) return 0;
    const int64_t frames = voice->consumedFrames + static_cast<int64_t>(voice->position >> 32);
    return static_cast<int32_t>(frames * 1000 / voice->rate);
}

void Mixer::startRamp(Voice& voice, float target, float seconds, bool stopAtEnd) {
    const double frames = seconds > 0.0f ? std::floor(static_cast<double>(seconds) * outputRate_ + 0.5) : 0.0;
    voice.target = target;
    voice.stopAtRampEnd = stopAtEnd;
    if (frames < 1.0) {
        voice.level = target;
        voice.rampLeft = 0;
        if (stopAtEnd) voice.release();
        return;
    }
    voice.rampLeft = frames > 1e12 ? static_cast<int64_t>(1e12) : static_cast<int64_t>(frames);
}

void Mixer::slideVolume(Channel channel, float target, float seconds) {
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = find(channel);
    if (!voice) return;
    const bool fadeOut = target < 0.0f;
    startRamp(*voice, fadeOut ? 0.0f : sanitise(target, 0.0f, 1.0f).volume, seconds == seconds ? seconds : 0.0f,
              fadeOut);
}

void Mixer::stopAllSounds() {
    std::lock_guard<std::mutex> hold(lock_);
    for (Voice& voice : voices_)
        if (voice.active && !voice.music) voice.release();
}

void Mixer::pauseSounds(bool paused) {
    std::lock_guard<std::mutex> hold(lock_);
    paused_ = paused;
}

void Mixer::playMusic(std::shared_ptr<const Pcm> pcm, std::unique_ptr<Decoder> decoder, const void* owner,
                      const std::string& label, float volume, float fadeInSeconds, int64_t startFrame) {
    if (!pcm && !decoder) return;
    if (pcm && pcm->frames() <= 0) return;
    std::lock_guard<std::mutex> hold(lock_);
    // The piece playing now makes way at once; one already fading out goes
    // on fading unless both music voices are taken.
    if (Voice* current = find(music_)) current->release();
    music_ = 0;
    Voice* voice = nullptr;
    for (int i = MAX_VOICES; i < MAX_VOICES + MUSIC_VOICES; ++i)
        if (!voices_[i].active) voice = &voices_[i];
    if (!voice) {
        voice = &voices_[MAX_VOICES];
        voice->release();
    }
    voice->music = true;
    voice->owner = owner;
    voice->label = label;
    voice->channels = pcm ? pcm->channels : decoder->channels();
    voice->rate = pcm ? pcm->rate : decoder->rate();
    voice->pcm = std::move(pcm);
    voice->stream = std::move(decoder);
    voice->position = 0;
    voice->startFrame = startFrame;
    voice->pitch = 1.0f;
    voice->pan = 0.0f;
    voice->loop = true;
    const float level = sanitise(volume, 0.0f, 1.0f).volume;
    voice->level = voice->target = level;
    music_ = start(*voice);
    if (fadeInSeconds > 0.0f) {
        voice->level = 0.0f;
        startRamp(*voice, level, fadeInSeconds, false);
    }
}

void Mixer::stopMusic(float fadeOutSeconds) {
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = find(music_);
    music_ = 0;
    if (voice) startRamp(*voice, 0.0f, fadeOutSeconds == fadeOutSeconds ? fadeOutSeconds : 0.0f, true);
}

void Mixer::setMusicVolume(float volume) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(music_)) {
        voice->level = voice->target = sanitise(volume, 0.0f, 1.0f).volume;
        voice->rampLeft = 0;
    }
}

void Mixer::slideMusicVolume(float target, float seconds) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Voice* voice = find(music_))
        startRamp(*voice, sanitise(target, 0.0f, 1.0f).volume, seconds == seconds ? seconds : 0.0f, false);
}

const void* Mixer::currentMusic() {
    std::lock_guard<std::mutex> hold(lock_);
    Voice* voice = find(music_);
    return voice ? voice->owner : nullptr;
}

void Mixer::forget(const void* owner) {
    std::lock_guard<std::mutex> hold(lock_);
    for (Voice& voice : voices_)
        if (voice.active && voice.owner == owner) voice.release();
    if (!find(music_)) music_ = 0;
}

void Mixer::stopEverything() {
    std::lock_guard<std::mutex> hold(lock_);
    for (Voice& voice : voices_)
        if (voice.active) voice.release();
    music_ = 0;
}

std::vector<std::string> Mixer::takeMessages() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> out;
    out.swap(messages_);
    return out;
}

int64_t Mixer::mixedFrames() {
    std::lock_guard<std::mutex> hold(lock_);
    return mixed_;
}

int Mixer::activeVoices() {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<int>(std::count_if(voices_.begin(), voices_.end(), [](const Voice& v) { return v.active; }));
}

// Make sure the staging buffer holds every source frame this block reads
// (plus one for interpolation). A looping stream goes back to its start and
// carries on in the same buffer, so the loop point has no gap. False when
// the stream has ended and nothing is left to play.
bool Mixer::fillStream(Voice& voice, int frames) {
    const int64_t need = static_cast<int64_t>((voice.position + voice.step * static_cast<uint64_t>(frames)) >> 32) + 2;
    bool rewound = false;
    while (voice.stagingFrames < need && !voice.streamEnded) {
        int64_t want = need - voice.stagingFrames;
        want = std::min<int64_t>(std::max<int64_t>(want, 1024), MAX_STREAM_READ);
        voice.staging.resize(static_cast<size_t>((voice.stagingFrames + want) * voice.channels));
        const int got = voice.stream->read(voice.staging.data() + voice.stagingFrames * voice.channels,
                                           static_cast<int>(want));
        voice.stagingFrames += got > 0 ? got : 0;
        voice.staging.resize(static_cast<size_t>(voice.stagingFrames * voice.channels));
        if (got > 0) {
            rewound = false;
            continue;
        }
        // At the end: a looping stream starts over, once per empty read so
        // that a stream without frames cannot spin here.
        if (!voice.stream->failed() && voice.loop && !rewound && voice.stream->rewind()) {
            rewound = true;
            continue;
        }
        if (voice.stream->failed()) messages_.push_back("'" + voice.label + "' stopped: " + voice.stream->error());
        voice.streamEnded = true;
    }
    return voice.stagingFrames > static_cast<int64_t>(voice.position >> 32);
}

void Mixer::mixVoice(Voice& voice, float* out, int frames) {
    const int16_t* data;
    int64_t total;
    const bool stream = voice.stream != nullptr;
    if (stream) {
        if (!fillStream(voice, frames)) {
            voice.release();
            return;
        }
        data = voice.staging.data();
        total = voice.stagingFrames;
    } else {
        data = voice.pcm->samples.data();
        total = voice.pcm->frames();
    }
    const bool wraps = !stream && voice.loop;
    const int channels = voice.channels;

    // The volume of each frame of this block: constant, or on its way to a target.
    const bool ramping = voice.rampLeft > 0;
    float* envelope = envelope_.data();
    if (ramping) {
        for (int i = 0; i < frames; ++i) {
            if (voice.rampLeft > 0) {
                voice.level += (voice.target - voice.level) / static_cast<float>(voice.rampLeft);
                --voice.rampLeft;
            }
            envelope[i] = voice.level;
        }
    }
    const float level = voice.level;
    const float left = voice.pan <= 0.0f ? 1.0f : 1.0f - voice.pan;
    const float right = voice.pan >= 0.0f ? 1.0f : 1.0f + voice.pan;

    uint64_t position = voice.position;
    bool ended = false;
    int i = 0;
    if (voice.step == ONE && (position & FRACTION) == 0 && !ramping) {
        // Plain path: whole runs of source frames, no interpolation.
        const float gl = level * left, gr = level * right;
        while (i < frames) {
            int64_t index = static_cast<int64_t>(position >> 32);
            if (index >= total) {
                if (!wraps) {
                    ended = true;
                    break;
                }
                index %= total;
                position = static_cast<uint64_t>(index) << 32;
            }
            const int run = static_cast<int>(std::min<int64_t>(frames - i, total - index));
            const int16_t* s = data + index * channels;
            float* o = out + 2 * i;
            if (channels == 2) {
                for (int k = 0; k < run; ++k) {
                    o[2 * k] += s[2 * k] * gl;
                    o[2 * k + 1] += s[2 * k + 1] * gr;
                }
            } else {
                for (int k = 0; k < run; ++k) {
                    o[2 * k] += s[k] * gl;
                    o[2 * k + 1] += s[k] * gr;
                }
            }
            i += run;
            position += static_cast<uint64_t>(run) << 32;
        }
    } else {
        for (; i < frames; ++i) {
            int64_t index = static_cast<int64_t>(position >> 32);
            if (index >= total) {
                if (!wraps) {
                    ended = true;
                    break;
                }
                position -= static_cast<uint64_t>(index - index % total) << 32;
                index %= total;
            }
            int64_t next = index + 1;
            const bool hasNext = next < total || wraps;
            if (next >= total) next = 0;
            const float fraction = static_cast<float>(position & FRACTION) * (1.0f / 4294967296.0f);
            const float volume = ramping ? envelope[i] : level;
            float a = data[index * channels], b = hasNext ? data[next * channels] : 0.0f;
            const float l = a + (b - a) * fraction;
            float r = l;
            if (channels == 2) {
                a = data[index * 2 + 1];
                b = hasNext ? data[next * 2 + 1] : 0.0f;
                r = a + (b - a) * fraction;
            }
            out[2 * i] += l * volume * left;
            out[2 * i + 1] += r * volume * right;
            position += voice.step;
        }
    }
    voice.position = position;

    if (stream) {
        // Drop what has been played from the front of the staging buffer.
        const int64_t played = std::min<int64_t>(static_cast<int64_t>(voice.position >> 32), voice.stagingFrames);
        if (played > 0) {
            voice.staging.erase(voice.staging.begin(), voice.staging.begin() + played * channels);
            voice.stagingFrames -= played;
            voice.consumedFrames += played;
            voice.position -= static_cast<uint64_t>(played) << 32;
        }
    }
    if (ended || (voice.stopAtRampEnd && voice.rampLeft == 0)) voice.release();
}

void Mixer::mix(int16_t* out, int frames) {
    std::lock_guard<std::mutex> hold(lock_);
    accumulator_.assign(static_cast<size_t>(frames) * 2, 0.0f);
    envelope_.resize(static_cast<size_t>(frames));
    for (Voice& voice : voices_) {
        if (!voice.active || (paused_ && !voice.music)) continue;
        const int64_t wait = voice.startFrame - mixed_;
        if (wait >= frames) continue;
        const int offset = wait > 0 ? static_cast<int>(wait) : 0;
        mixVoice(voice, accumulator_.data() + 2 * offset, frames - offset);
    }
    mixed_ += frames;
    if (music_ && !find(music_)) music_ = 0;  // the music ended (its stream broke off)
    const float* in = accumulator_.data();
    for (int i = 0; i < frames * 2; ++i) {
        const float v = in[i];
        out[i] = static_cast<int16_t>(v >= 32767.0f ? 32767 : (v <= -32768.0f ? -32768 : std::lrint(v)));
    }
}

}  // namespace wave
