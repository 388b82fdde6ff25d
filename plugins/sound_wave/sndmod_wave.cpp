// sndmod_wave: the engine's sound library. WAV and Ogg Vorbis sounds, a
// software mixer on its own thread, output through waveOut with about 50 ms
// of latency, and VOZER_SOUND_CAPTURE=FILE.wav to write the mix to a file as
// well (or instead, where there is no device).
//
// What the implementation-defined parts of the contract mean here:
//   PlaySound(sound, volume 0..1, pan -1..1, pitch 0.25..4) -> channel
//   ChannelOpA stop; B volume; C pan; D pitch; E looping (value != 0);
//   F fade out over `value` seconds and stop; G still playing?;
//   H milliseconds played.
//   SoundCommand 0 stops every effect, 1 pauses them, 2 resumes them.
// Sounds whose decoded samples would take more than 4 MB (music, mostly)
// are not decoded at load: they stream from the engine's files when played.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <map>
#include <thread>

#include "decoder.h"
#include "mixer.h"
#include "output.h"
#include "vozer_api.h"
#include "vozer_runtime.h"
#include "vozer_soundimp.h"

namespace {

using namespace wave;

constexpr int BLOCK_FRAMES = OUTPUT_RATE / 100;  // 10 ms
constexpr int DEVICE_BLOCKS = 5;                  // 50 ms queued at the device
constexpr int64_t DECODE_WHOLE_BYTES = 4 * 1024 * 1024;
constexpr const char* NAME = "SoundImp Wave (WAV, Ogg Vorbis; waveOut)";

// The engine's file slots as a byte source: sounds come from wherever the
// game's files are (folders, paks, user://).
class EngineFile : public ByteSource {
public:
    EngineFile(VozerEngineApi* api, VozerFile* file) : api_(api), file_(file) {
        api_->SeekFile(file_, 0, 2);
        size_ = api_->TellFile(file_);
        api_->SeekFile(file_, 0, 0);
        if (size_ < 0) size_ = 0;
    }
    ~EngineFile() override { api_->CloseFile(file_); }
    size_t read(void* out, size_t bytes) override {
        if (bytes > 0x40000000) bytes = 0x40000000;
        const int32_t got = api_->ReadFile(out, static_cast<int32_t>(bytes), file_);
        if (got > 0) position_ += got;
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    bool seek(int64_t offset) override {
        if (offset < 0 || offset > size_) return false;
        if (!api_->SeekFile(file_, static_cast<int32_t>(offset), 0)) return false;
        position_ = offset;
        return true;
    }
    int64_t tell() const override { return position_; }
    int64_t size() const override { return size_; }

private:
    VozerEngineApi* api_;
    VozerFile* file_;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// What a loaded sound record points to (its implData).
struct SoundData {
    VozerSound* record = nullptr;
    std::string file;
    std::shared_ptr<const Pcm> pcm;  // null: streamed when played
};

struct Library {
    std::mutex lock;  // the loaded set and the start/stop of the mixing thread
    VozerEngineApi* api = nullptr;
    std::unique_ptr<Mixer> mixer;
    // What loaded sounds point to. Shared, so a sound played on one thread
    // while another frees it stays whole until the play has started.
    std::map<const SoundData*, std::shared_ptr<SoundData>> loaded;
    std::thread thread;
    std::atomic<bool> running{false};
    std::unique_ptr<Output> output;
    CaptureFile capture;
    std::atomic<bool> deviceLost{false};
    // When the mix's first frame is due: taken with the engine clock's time
    // that the capture log line gives, so a thread that starts late catches
    // up instead of shifting the capture's time line.
    std::chrono::steady_clock::time_point origin;
};

Library& lib() {
    static Library theLibrary;
    return theLibrary;
}

void logLine(int level, const std::string& text) {
    if (VozerEngineApi* api = lib().api) api->Log(level, "sndmod_wave: %s", text.c_str());
}

std::unique_ptr<Decoder> openFile(const std::string& name, std::string* error, std::string* notes) {
    VozerEngineApi* api = lib().api;
    VozerFile* file = api ? api->OpenFile(name.c_str(), "rb") : nullptr;
    if (!file) return nullptr;
    return openDecoder(std::make_unique<EngineFile>(api, file), error, notes);
}

std::shared_ptr<SoundData> dataOf(const void* implData) {
    if (!implData) return nullptr;
    std::lock_guard<std::mutex> hold(lib().lock);
    auto found = lib().loaded.find(static_cast<const SoundData*>(implData));
    return found == lib().loaded.end() ? nullptr : found->second;
}

// The output frame due now by the clock: where a sound asked for now begins.
// With a device the mix runs ahead of the clock and that frame is already
// mixed, so the sound starts in the next block; without one, a mixing thread
// that fell behind still places it where it belongs.
int64_t dueFrame() {
    const auto elapsed = std::chrono::steady_clock::now() - lib().origin;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * OUTPUT_RATE / 1000000;
}

// The mixing thread: with a device, the device's queue sets the pace; without
// one, the clock does, keeping at most one block ahead of real time so the
// capture file's time line follows the game's.
void mixLoop() {
    Library& l = lib();
    std::vector<int16_t> block(static_cast<size_t>(BLOCK_FRAMES) * OUTPUT_CHANNELS);
    auto started = l.origin;
    int64_t mixed = 0;
    while (l.running) {
        if (!l.output) {
            const auto elapsed = std::chrono::steady_clock::now() - started;
            const int64_t due = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * OUTPUT_RATE / 1000000;
            if (mixed >= due + BLOCK_FRAMES) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
        }
        l.mixer->mix(block.data(), BLOCK_FRAMES);
        l.capture.write(block.data(), BLOCK_FRAMES);
        mixed += BLOCK_FRAMES;
        if (l.output && !l.output->write(block.data(), BLOCK_FRAMES)) {
            // From here on the clock paces the mix, from where the device left it.
            l.output.reset();
            l.deviceLost = true;
            started = std::chrono::steady_clock::now() -
                      std::chrono::microseconds(mixed * 1000000 / OUTPUT_RATE);
        }
    }
}

void stopEverything() {
    Library& l = lib();
    if (l.running.exchange(false) && l.thread.joinable()) l.thread.join();
    l.output.reset();
    l.capture.close();
    if (l.mixer) l.mixer->stopEverything();
    std::lock_guard<std::mutex> hold(l.lock);
    for (auto& entry : l.loaded) {
        entry.second->record->implData = nullptr;
        entry.second->record->dataSize = 0;
    }
    l.loaded.clear();
}

// --- Operations -----------------------------------------------------------

using S = VozerSoundImp;

vz_bool VZ_THISCALL reserved0(S*) { return 1; }
const char* VZ_THISCALL getName(S*) { return NAME; }

vz_bool VZ_THISCALL init(S*, VozerRuntimeShared* runtime, VozerDisplayParams*) {
    try {
        Library& l = lib();
        stopEverything();
        l.api = runtime ? runtime->api : nullptr;
        if (!l.api) return 0;
        l.mixer = std::make_unique<Mixer>(OUTPUT_RATE);
        l.deviceLost = false;
        std::string why;
        l.output = openOutput(OUTPUT_RATE, BLOCK_FRAMES, DEVICE_BLOCKS, &why);
        if (!l.output) logLine(VZ_WARNING, "no sound device (" + why + "): playing into nothing.");
        const uint32_t originMs = l.api->GetTime();
        l.origin = std::chrono::steady_clock::now();
        const char* capture = std::getenv("VOZER_SOUND_CAPTURE");
        if (capture && *capture) {
            if (l.capture.open(capture, OUTPUT_RATE, &why)) {
                l.api->Log(VZ_INFO, "sndmod_wave: capturing the mix to '%s' from %u ms.", capture, originMs);
            } else {
                logLine(VZ_WARNING, "no capture: " + why + ".");
            }
        }
        l.running = true;
        l.thread = std::thread(mixLoop);
        l.api->Log(VZ_INFO, "sndmod_wave: mixing %d Hz stereo in %d ms blocks%s.", OUTPUT_RATE, 10,
                   l.output ? ", 50 ms queued at the device" : "");
        return 1;
    } catch (...) {
        stopEverything();
        return 0;
    }
}

void VZ_THISCALL shutdownImp(S*) {
    try {
        stopEverything();
        lib().mixer.reset();
    } catch (...) {
    }
    lib().api = nullptr;
}

void VZ_THISCALL freeSound(S*, VozerSound* sound);

vz_bool VZ_THISCALL loadSound(S* self, VozerSound* sound, const char* fileName) {
    try {
        Library& l = lib();
        if (!sound || !fileName || !l.mixer) return 0;
        if (sound->implData) freeSound(self, sound);  // loaded again: the old data goes first
        std::string why, notes;
        std::unique_ptr<Decoder> decoder = openFile(fileName, &why, &notes);
        if (!decoder) {
            if (!why.empty()) logLine(VZ_WARNING, std::string("'") + fileName + "' refused: " + why + ".");
            return 0;
        }
        if (!notes.empty()) logLine(VZ_WARNING, std::string("'") + fileName + "': " + notes + ".");
        auto data = std::make_shared<SoundData>();
        data->record = sound;
        data->file = fileName;
        // Small sounds are decoded whole now; big ones stream when played.
        // Where the file does not give its length (Ogg Vorbis), a file of
        // more than a sixteenth of the limit is taken for a big one (Vorbis
        // packs sound about ten to one), and a smaller file that decodes to
        // more than the limit streams after all.
        const int64_t frameBytes = static_cast<int64_t>(decoder->channels()) * 2;
        const int64_t limitFrames = DECODE_WHOLE_BYTES / frameBytes;
        int64_t bytes = decoder->frames() >= 0 ? decoder->frames() * frameBytes : -1;
        const bool small = bytes >= 0 ? bytes <= DECODE_WHOLE_BYTES : decoder->fileBytes() <= DECODE_WHOLE_BYTES / 16;
        if (small) {
            auto pcm = std::make_shared<Pcm>();
            const bool whole = decodeAll(*decoder, pcm.get(), limitFrames + 1);
            if (!whole) {
                logLine(VZ_WARNING, std::string("'") + fileName + "' is damaged (" + decoder->error() + "): keeping the " +
                                    std::to_string(pcm->frames()) + " frames before the damage.");
            }
            if (pcm->frames() == 0) {
                logLine(VZ_WARNING, std::string("'") + fileName + "' refused: it has no samples.");
                return 0;
            }
            if (pcm->frames() <= limitFrames) {
                bytes = static_cast<int64_t>(pcm->samples.size()) * 2;
                data->pcm = std::move(pcm);
            } else {
                bytes = -1;
            }
        }
        // The usage report reads the size; a streamed sound reports what it
        // would take decoded (it counts as music there).
        sound->dataSize = bytes < 0 || bytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(bytes);
        std::lock_guard<std::mutex> hold(l.lock);
        sound->implData = data.get();
        l.loaded[data.get()] = data;
        return 1;
    } catch (...) {
        return 0;
    }
}

void VZ_THISCALL freeSound(S*, VozerSound* sound) {
    try {
        std::shared_ptr<SoundData> data = dataOf(sound ? sound->implData : nullptr);
        if (!data) return;
        if (lib().mixer) lib().mixer->forget(data.get());
        {
            std::lock_guard<std::mutex> hold(lib().lock);
            lib().loaded.erase(data.get());
        }
        sound->implData = nullptr;
        sound->dataSize = 0;
    } catch (...) {
    }
}

void VZ_THISCALL soundCommand(S*, int32_t value) {
    Mixer* mixer = lib().mixer.get();
    if (!mixer) return;
    if (value == 0) mixer->stopAllSounds();
    else if (value == 1 || value == 2) mixer->pauseSounds(value == 1);
}

Channel toChannel(VozerChannel channel) { return static_cast<Channel>(reinterpret_cast<uintptr_t>(channel)); }

VozerChannel VZ_THISCALL playSound(S*, VozerSound* sound, float volume, float pan, float pitch) {
    try {
        std::shared_ptr<SoundData> data = dataOf(sound ? sound->implData : nullptr);
        Mixer* mixer = lib().mixer.get();
        if (!data || !mixer) return nullptr;
        VoiceSettings settings = sanitise(volume, pan, pitch);
        settings.startFrame = dueFrame();
        Channel channel = 0;
        if (data->pcm) {
            channel = mixer->play(data->pcm, data.get(), settings);
        } else {
            std::string why;
            if (std::unique_ptr<Decoder> decoder = openFile(data->file, &why, nullptr))
                channel = mixer->playStream(std::move(decoder), data.get(), data->file, settings);
        }
        return reinterpret_cast<VozerChannel>(static_cast<uintptr_t>(channel));
    } catch (...) {
        return nullptr;
    }
}

void VZ_THISCALL channelStop(S*, VozerChannel channel) {
    if (Mixer* m = lib().mixer.get()) m->stop(toChannel(channel));
}
void VZ_THISCALL channelVolume(S*, VozerChannel channel, float value) {
    if (Mixer* m = lib().mixer.get()) m->setVolume(toChannel(channel), value);
}
void VZ_THISCALL channelPan(S*, VozerChannel channel, float value) {
    if (Mixer* m = lib().mixer.get()) m->setPan(toChannel(channel), value);
}
void VZ_THISCALL channelPitch(S*, VozerChannel channel, float value) {
    if (Mixer* m = lib().mixer.get()) m->setPitch(toChannel(channel), value);
}
void VZ_THISCALL channelLooping(S*, VozerChannel channel, float value) {
    if (Mixer* m = lib().mixer.get()) m->setLooping(toChannel(channel), value != 0.0f);
}
void VZ_THISCALL channelFadeOut(S*, VozerChannel channel, float seconds) {
    if (Mixer* m = lib().mixer.get()) m->slideVolume(toChannel(channel), -1.0f, seconds);
}
vz_bool VZ_THISCALL channelPlaying(S*, VozerChannel channel) {
    Mixer* m = lib().mixer.get();
    return m && m->isPlaying(toChannel(channel)) ? 1 : 0;
}
int32_t VZ_THISCALL channelPosition(S*, VozerChannel channel) {
    Mixer* m = lib().mixer.get();
    return m ? m->positionMs(toChannel(channel)) : 0;
}
void VZ_THISCALL slideSoundVolume(S*, VozerChannel channel, float target, float seconds) {
    if (Mixer* m = lib().mixer.get()) m->slideVolume(toChannel(channel), target, seconds);
}

void VZ_THISCALL playMusic(S*, VozerSound* sound, float volume, float fadeIn) {
    try {
        std::shared_ptr<SoundData> data = dataOf(sound ? sound->implData : nullptr);
        Mixer* mixer = lib().mixer.get();
        if (!data || !mixer) return;
        if (data->pcm) {
            mixer->playMusic(data->pcm, nullptr, data.get(), data->file, volume, fadeIn, dueFrame());
            return;
        }
        std::string why;
        std::unique_ptr<Decoder> decoder = openFile(data->file, &why, nullptr);
        if (!decoder) {
            logLine(VZ_WARNING, "music '" + data->file + "' cannot be opened" + (why.empty() ? "" : ": " + why) + ".");
            return;
        }
        mixer->playMusic(nullptr, std::move(decoder), data.get(), data->file, volume, fadeIn, dueFrame());
    } catch (...) {
    }
}

void VZ_THISCALL stopMusic(S*, float seconds) {
    if (Mixer* m = lib().mixer.get()) m->stopMusic(seconds);
}
void VZ_THISCALL setMusicVolume(S*, float volume) {
    if (Mixer* m = lib().mixer.get()) m->setMusicVolume(volume);
}
VozerSound* VZ_THISCALL getCurrentMusic(S*) {
    Mixer* m = lib().mixer.get();
    if (!m) return nullptr;
    std::shared_ptr<SoundData> data = dataOf(m->currentMusic());
    return data ? data->record : nullptr;
}
void VZ_THISCALL slideMusicVolume(S*, float target, float seconds) {
    if (Mixer* m = lib().mixer.get()) m->slideMusicVolume(target, seconds);
}

void VZ_THISCALL oneValue(S*, int32_t) {}

// Once a frame, on the main thread: what the mixing thread noticed goes to the log.
void VZ_THISCALL frameBegin(S*) {
    Library& l = lib();
    if (!l.mixer) return;
    for (const std::string& message : l.mixer->takeMessages()) logLine(VZ_WARNING, message);
    if (l.deviceLost.exchange(false)) logLine(VZ_WARNING, "the sound device stopped taking sound: playing into nothing.");
}
// Mixing runs on its own thread; the end of a frame asks nothing of it.
void VZ_THISCALL frameEnd(S*) {}
void VZ_THISCALL twoValues(S*, int32_t, int32_t) {}
vz_bool VZ_THISCALL oneValueTrue(S*, int32_t) { return 1; }
void VZ_THISCALL fiveValues(S*, int32_t, int32_t, int32_t, int32_t, int32_t) {}

const VozerSoundImpOps OPS = {
    reserved0,      getName,        init,           shutdownImp,     loadSound,       freeSound,
    soundCommand,   playSound,      channelStop,    channelVolume,   channelPan,      channelPitch,
    channelLooping, channelFadeOut, channelPlaying, channelPosition, slideSoundVolume, playMusic,
    stopMusic,      setMusicVolume, getCurrentMusic, slideMusicVolume, oneValue,      frameBegin,
    frameEnd,       twoValues,      oneValue,       oneValueTrue,    fiveValues,
};

VozerSoundImp theImp{&OPS};

}  // namespace

VZ_EXTERN_C VZ_EXPORT VozerSoundImp* VZ_CDECL VOZER_SoundImp_GetInterface(void) { return &theImp; }
