// The mixer of sndmod_wave: volumes and pans land where asked, resampled and
// looping sounds stay continuous, fades and slides take the time asked to
// the frame, and voices end, fail and are refused without disturbing the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "mixer.h"
#include "sound_files.h"

namespace wavetest {
namespace {

using wave::Mixer;
using wave::Pcm;

std::shared_ptr<Pcm> pcmOf(std::vector<int16_t> samples, int channels, int rate) {
    auto pcm = std::make_shared<Pcm>();
    pcm->channels = channels;
    pcm->rate = rate;
    pcm->samples = std::move(samples);
    return pcm;
}

std::vector<int16_t> mixFrames(Mixer& mixer, int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    for (int done = 0; done < frames; done += 441) {
        const int n = std::min(441, frames - done);
        mixer.mix(out.data() + done * 2, n);
    }
    return out;
}

std::vector<int16_t> channelOf(const std::vector<int16_t>& stereo, int channel) {
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(channel); i < stereo.size(); i += 2) out.push_back(stereo[i]);
    return out;
}

// The largest step between neighbouring samples: a gap or a jump at a loop
// point shows as a step far above what the tone itself makes.
int maxStep(const std::vector<int16_t>& s, size_t from, size_t to) {
    int step = 0;
    for (size_t i = from + 1; i < to; ++i) step = std::max(step, std::abs(s[i] - s[i - 1]));
    return step;
}

TEST(Mixer, VolumesAndPansLandInTheChannelsAsked) {
    Mixer mixer;
    auto level = pcmOf(std::vector<int16_t>(1000, 10000), 1, 44100);
    struct Case {
        float volume, pan;
        int left, right;
    };
    const Case cases[] = {{0.5f, -1.0f, 5000, 0}, {0.5f, 0.0f, 5000, 5000}, {1.0f, 0.5f, 5000, 10000},
                          {0.25f, 1.0f, 0, 2500}, {NAN, 0.0f, 0, 0},         {2.0f, NAN, 10000, 10000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.volume << " " << c.pan);
        const wave::Channel channel = mixer.play(level, nullptr, wave::sanitise(c.volume, c.pan, 1.0f));
        ASSERT_NE(channel, 0u);
        const std::vector<int16_t> out = mixFrames(mixer, 100);
        EXPECT_EQ(out[0], c.left);
        EXPECT_EQ(out[1], c.right);
        EXPECT_EQ(out[198], c.left);
        mixer.stop(channel);
        EXPECT_FALSE(mixer.isPlaying(channel));
    }
    // Stereo sources keep their sides; sums are clipped, not wrapped.
    auto stereo = pcmOf({20000, -20000, 20000, -20000}, 2, 44100);
    mixer.play(stereo, nullptr, wave::sanitise(1.0f, 0.0f, 1.0f));
    mixer.play(stereo, nullptr, wave::sanitise(1.0f, 0.0f, 1.0f));
    const std::vector<int16_t> out = mixFrames(mixer, 4);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[4], 0);  // both ended after their two frames
    EXPECT_EQ(mixer.activeVoices(), 0);

    // A voice asked for a frame not yet mixed starts there, inside a block.
    wave::VoiceSettings later = wave::sanitise(1.0f, 0.0f, 1.0f);
    later.startFrame = mixer.mixedFrames() + 500;
    mixer.play(level, nullptr, later);
    const std::vector<int16_t> left = channelOf(mixFrames(mixer, 1000), 0);
    EXPECT_EQ(left[499], 0);
    EXPECT_EQ(left[500], 10000);
}

TEST(Mixer, ResampledAndLoopingSoundsStayContinuous) {
    Mixer mixer;
    // A 22050 Hz sound lasts as long at 44100 Hz, and its tone stays smooth.
    auto low = pcmOf(sine(441.0, 0.5, 22050, 0.5), 1, 22050);
    const wave::Channel channel = mixer.play(low, nullptr, wave::sanitise(1.0f, 0.0f, 1.0f));
    std::vector<int16_t> left = channelOf(mixFrames(mixer, 22050 + 441), 0);
    EXPECT_FALSE(mixer.isPlaying(channel));
    const auto last = std::find_if(left.rbegin(), left.rend(), [](int16_t v) { return v != 0; });
    EXPECT_NEAR(static_cast<double>(left.rend() - last), 22050.0, 3.0);
    const int natural = static_cast<int>(0.5 * 32767 * 2 * 3.14159 * 441 / 44100) + 2;
    EXPECT_LE(maxStep(left, 0, 22000), natural);

    // One second of a 441 Hz tone holds whole cycles: looped from memory or
    // streamed from a decoder, three seconds of it have no seam.
    const std::vector<int16_t> tone = sine(441.0, 1.0, 44100, 0.5);
    auto memory = pcmOf(tone, 1, 44100);
    mixer.play(memory, nullptr, [] {
        wave::VoiceSettings s;
        s.loop = true;
        return s;
    }());
    left = channelOf(mixFrames(mixer, 3 * 44100), 0);
    EXPECT_LE(maxStep(left, 0, left.size()), natural);
    mixer.stopEverything();

    const Bytes file = wav({}, samples16(tone));
    mixer.playMusic(nullptr, wave::openDecoder(std::make_unique<wave::MemorySource>(file.data(), file.size()), nullptr),
                    &file, "music", 1.0f, 0.0f);
    left = channelOf(mixFrames(mixer, 3 * 44100), 0);
    EXPECT_LE(maxStep(left, 0, left.size()), natural);
    EXPECT_EQ(mixer.currentMusic(), &file);
    double quietest = 1e9;  // no gap: every 10 ms of the music carries the tone
    for (size_t i = 0; i + 441 <= left.size(); i += 441) {
        double sum = 0;
        for (size_t k = i; k < i + 441; ++k) sum += static_cast<double>(left[k]) * left[k];
        quietest = std::min(quietest, std::sqrt(sum / 441));
    }
    EXPECT_GT(quietest, 0.5 * 32767 * 0.7 * 0.95);
}

TEST(Mixer, FadesAndSlidesTakeTheTimeAsked) {
    Mixer mixer;
    auto level = pcmOf(std::vector<int16_t>(44100, 10000), 1, 44100);
    int owner = 0;
    mixer.playMusic(level, nullptr, &owner, "music", 0.8f, 0.5f);
    std::vector<int16_t> left = channelOf(mixFrames(mixer, 44100), 0);
    EXPECT_NEAR(left[0], 0, 1);
    EXPECT_NEAR(left[11025], 4000, 2);  // half way through the fade-in
    EXPECT_EQ(left[22050], 8000);       // there after exactly 0.5 s
    EXPECT_EQ(left[40000], 8000);

    mixer.slideMusicVolume(0.4f, 0.25f);
    left = channelOf(mixFrames(mixer, 22050), 0);
    EXPECT_NEAR(left[5512], 6000, 2);
    EXPECT_EQ(left[11025], 4000);

    // Stopping with a one-second fade: silent after exactly a second, then gone.
    mixer.stopMusic(1.0f);
    EXPECT_EQ(mixer.currentMusic(), nullptr);
    left = channelOf(mixFrames(mixer, 44100 + 441), 0);
    EXPECT_NEAR(left[22050], 2000, 2);
    EXPECT_LE(left[44099], 1);
    EXPECT_EQ(left[44100], 0);
    EXPECT_EQ(mixer.activeVoices(), 0);

    // A slide below zero fades an effect out and stops it.
    const wave::Channel effect = mixer.play(level, nullptr, wave::sanitise(1.0f, 0.0f, 1.0f));
    mixer.slideVolume(effect, -0.1f, 0.1f);
    mixFrames(mixer, 4410);
    EXPECT_FALSE(mixer.isPlaying(effect));

    // New music while the old fades out: both sound until the fade ends.
    int first = 0, second = 0;
    mixer.playMusic(level, nullptr, &first, "first", 1.0f, 0.0f);
    mixer.stopMusic(0.5f);
    mixer.playMusic(level, nullptr, &second, "second", 0.5f, 0.0f);
    left = channelOf(mixFrames(mixer, 882), 0);
    EXPECT_NEAR(left[0], 15000, 2);
    EXPECT_EQ(mixer.currentMusic(), &second);
    mixer.forget(&second);
    EXPECT_EQ(mixer.currentMusic(), nullptr);
}

// A decoder that gives a tone for a while and then breaks off.
class BreaksOff : public wave::Decoder {
public:
    explicit BreaksOff(int frames) : left_(frames) {
        channels_ = 1;
        rate_ = 44100;
    }
    int read(int16_t* out, int frames) override {
        if (left_ <= 0) {
            error_ = "page 7 is damaged";
            return 0;
        }
        const int n = std::min(frames, left_);
        std::fill(out, out + n, static_cast<int16_t>(1000));
        left_ -= n;
        return n;
    }
    bool rewind() override { return false; }

private:
    int left_;
};

TEST(Mixer, VoicesEndFailAndRunOutWithoutDisturbingTheRest) {
    Mixer mixer;
    auto level = pcmOf(std::vector<int16_t>(100000, 100), 1, 44100);
    const wave::Channel steady = mixer.play(level, nullptr, wave::sanitise(1.0f, 0.0f, 1.0f));
    const wave::Channel broken =
        mixer.playStream(std::make_unique<BreaksOff>(1000), nullptr, "broken.ogg", wave::sanitise(1.0f, 0.0f, 1.0f));
    std::vector<int16_t> left = channelOf(mixFrames(mixer, 2205), 0);
    EXPECT_EQ(left[500], 1100);
    EXPECT_EQ(left[1500], 100);
    EXPECT_FALSE(mixer.isPlaying(broken));
    EXPECT_TRUE(mixer.isPlaying(steady));
    EXPECT_EQ(mixer.takeMessages(), std::vector<std::string>{"'broken.ogg' stopped: page 7 is damaged"});
    EXPECT_EQ(mixer.positionMs(steady), 50);

    // Every voice busy: the next play is refused, nothing else changes.
    for (int i = 1; i < wave::MAX_VOICES; ++i) ASSERT_NE(mixer.play(level, nullptr, {}), 0u);
    EXPECT_EQ(mixer.play(level, nullptr, {}), 0u);
    mixer.stop(steady);
    const wave::Channel reused = mixer.play(level, nullptr, {});
    ASSERT_NE(reused, 0u);
    EXPECT_NE(reused, steady);  // a stale handle never reaches the new voice
    mixer.setVolume(steady, 0.0f);
    EXPECT_TRUE(mixer.isPlaying(reused));
    EXPECT_EQ(mixer.play(pcmOf({}, 1, 44100), nullptr, {}), 0u);
    mixer.stopAllSounds();
    EXPECT_EQ(mixer.activeVoices(), 0);
}

}  // namespace
}  // namespace wavetest
