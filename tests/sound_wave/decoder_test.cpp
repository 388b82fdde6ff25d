// The WAV and Ogg Vorbis decoders of sndmod_wave against good files and the
// damaged, lying and absurd ones a game may ship or download.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "decoder.h"
#include "sound_files.h"

namespace wavetest {
namespace {

using wave::Decoder;

struct Opened {
    std::shared_ptr<Bytes> bytes;  // the decoder reads them while it lives
    std::unique_ptr<Decoder> decoder;
    std::string error, notes;
};

Opened open(const Bytes& bytes) {
    Opened o;
    o.bytes = std::make_shared<Bytes>(bytes);
    o.decoder = wave::openDecoder(std::make_unique<wave::MemorySource>(o.bytes->data(), o.bytes->size()), &o.error,
                                  &o.notes);
    return o;
}

std::vector<int16_t> decodeAll(Decoder& decoder) {
    wave::Pcm pcm;
    wave::decodeAll(decoder, &pcm, 1 << 24);
    return pcm.samples;
}

TEST(WavReader, ReadsPcmLayoutsAndWorksAroundDamage) {
    const std::vector<int16_t> s = {0, 1000, -1000, 32767, -32768, 5};
    {
        Opened o = open(wav({}, samples16(s)));
        ASSERT_TRUE(o.decoder) << o.error;
        EXPECT_EQ(o.decoder->channels(), 1);
        EXPECT_EQ(o.decoder->rate(), 44100);
        EXPECT_EQ(o.decoder->frames(), 6);
        EXPECT_EQ(decodeAll(*o.decoder), s);
        ASSERT_TRUE(o.decoder->rewind());
        EXPECT_EQ(decodeAll(*o.decoder), s);  // looping starts over exactly
    }
    {
        // 8-bit unsigned stereo at 22050 Hz.
        WavFormat f;
        f.channels = 2;
        f.bits = 8;
        f.rate = 22050;
        Opened o = open(wav(f, Bytes{128, 255, 0, 129}));
        ASSERT_TRUE(o.decoder) << o.error;
        EXPECT_EQ(decodeAll(*o.decoder), (std::vector<int16_t>{0, 127 * 256, -128 * 256, 256}));
    }
    {
        // WAVE_FORMAT_EXTENSIBLE with a PCM sub-format, and an odd-sized
        // chunk (with its pad byte) before the format.
        Bytes fmt = fmtBody({0xFFFE, 1, 48000, 16, -1});
        put16(fmt, 22);
        put16(fmt, 16);
        put32(fmt, 4);
        put16(fmt, 1);  // sub-format GUID begins with the PCM tag
        fmt.resize(40, 0);
        Bytes chunks;
        chunk(chunks, "LIST", Bytes{'a', 'b', 'c'});
        chunk(chunks, "fmt ", fmt);
        chunk(chunks, "data", samples16(s));
        Opened o = open(riff(chunks));
        ASSERT_TRUE(o.decoder) << o.error;
        EXPECT_EQ(o.decoder->rate(), 48000);
        EXPECT_EQ(decodeAll(*o.decoder), s);
    }
    {
        // A data chunk that claims more than the file holds plays what is there.
        Bytes chunks;
        chunk(chunks, "fmt ", fmtBody({}));
        chunk(chunks, "data", samples16(s), 100000);
        Opened o = open(riff(chunks));
        ASSERT_TRUE(o.decoder) << o.error;
        EXPECT_EQ(decodeAll(*o.decoder), s);
        EXPECT_NE(o.notes.find("claims 100000 bytes but the file holds 12"), std::string::npos) << o.notes;
    }
}

TEST(WavReader, RefusesWhatCannotBePlayedRight) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* error;
    };
    WavFormat six, slow, absurd, deep, lying, adpcm;
    six.channels = 6;
    slow.rate = 0;
    absurd.rate = 10000000;
    deep.bits = 24;
    lying.blockAlign = 7;
    adpcm.tag = 2;
    Bytes noFormat, hugeChunk, dataFirst;
    chunk(noFormat, "data", samples16({1, 2}));
    chunk(hugeChunk, "fmt ", fmtBody({}));
    chunk(hugeChunk, "LIST", Bytes{1, 2}, 0xFFFFFFF0u);
    chunk(hugeChunk, "data", samples16({1, 2}));
    const Bytes good = wav({}, samples16({1, 2, 3}));
    const Case cases[] = {
        {"six channels", wav(six, Bytes(12, 0)), "6 channels (mono or stereo only)"},
        {"rate 0", wav(slow, samples16({1})), "a rate of 0 Hz"},
        {"rate 10 MHz", wav(absurd, samples16({1})), "a rate of 10000000 Hz"},
        {"24-bit", wav(deep, Bytes(6, 0)), "24-bit samples (8 or 16 only)"},
        {"block size", wav(lying, samples16({1})), "its block size does not match its sample layout"},
        {"ADPCM", wav(adpcm, samples16({1})), "its samples are not PCM (format 2)"},
        {"zero length", wav({}, Bytes{}), "it has no samples"},
        {"half a frame", wav({}, Bytes{1}), "it has no samples"},
        {"no format", riff(noFormat), "it has no format chunk"},
        {"chunk past the end", riff(hugeChunk), "it has no data chunk"},
        {"cut in the header", Bytes(good.begin(), good.begin() + 18), "it has no format chunk"},
        {"cut in the format", Bytes(good.begin(), good.begin() + 30), "the file ends inside its format chunk"},
        {"not RIFF", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a RIFF WAVE file"},
        {"empty", Bytes{}, "the file is empty"},
        {"three bytes", Bytes{'R', 'I', 'F'}, "the file is too short to be a sound"},
        {"something else", Bytes{'I', 'D', '3', 3, 0, 0, 0, 0}, "not a WAV or Ogg Vorbis file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Opened o = open(c.bytes);
        EXPECT_FALSE(o.decoder);
        EXPECT_EQ(o.error, c.error);
    }
}

double rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(VorbisReader, DecodesLoopsAndEndsCleanlyWhenTheStreamBreaks) {
    const std::vector<int16_t> tone = sine(441.0, 1.0, 44100, 0.5, 2);
    const Bytes ogg = vorbis(tone, 2, 44100);
    ASSERT_GT(ogg.size(), 1000u);
    Opened o = open(ogg);
    ASSERT_TRUE(o.decoder) << o.error;
    EXPECT_EQ(o.decoder->channels(), 2);
    EXPECT_EQ(o.decoder->rate(), 44100);
    EXPECT_EQ(o.decoder->frames(), -1);  // read straight through: known at the end
    const std::vector<int16_t> decoded = decodeAll(*o.decoder);
    ASSERT_EQ(decoded.size(), tone.size());
    // Lossy, but the level is the same within a tenth of a decibel.
    EXPECT_NEAR(20 * std::log10(rms(decoded, 2000, 80000) / rms(tone, 2000, 80000)), 0.0, 0.1);
    ASSERT_TRUE(o.decoder->rewind());
    const std::vector<int16_t> again = decodeAll(*o.decoder);
    EXPECT_EQ(again, decoded);

    // Noise fills many pages. Cut in the middle: what comes before the cut
    // plays, then it ends.
    std::vector<int16_t> noise(2 * 44100 * 2);
    uint32_t seed = 1;
    for (int16_t& v : noise) v = static_cast<int16_t>((seed = seed * 1664525u + 1013904223u) >> 20);
    const Bytes noisy = vorbis(noise, 2, 44100);
    const Bytes cut(noisy.begin(), noisy.begin() + static_cast<long>(noisy.size() / 2));
    Opened half = open(cut);
    ASSERT_TRUE(half.decoder) << half.error;
    const size_t got = decodeAll(*half.decoder).size();
    EXPECT_GT(got, noise.size() / 8);
    EXPECT_LT(got, noise.size());

    // Damage in the middle: decoding goes past it or ends there, never
    // further than the stream is long.
    Bytes damaged = noisy;
    for (size_t i = noisy.size() / 2; i < noisy.size() / 2 + 200; ++i) damaged[i] ^= 0x5A;
    Opened broken = open(damaged);
    ASSERT_TRUE(broken.decoder) << broken.error;
    EXPECT_LE(decodeAll(*broken.decoder).size(), noise.size());

    // Headers that are not Vorbis.
    Bytes fake = ogg;
    for (size_t i = 28; i < 60; ++i) fake[i] = 0;
    EXPECT_FALSE(open(fake).decoder);

    // Six channels are refused like a six-channel WAV. (libvorbisenc itself
    // loses a block when it encodes six channels; that is not ours to report.)
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    const Bytes surround = vorbis(sine(441.0, 0.1, 44100, 0.5, 6), 6, 44100);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    Opened six = open(surround);
    EXPECT_FALSE(six.decoder);
    EXPECT_EQ(six.error, "6 channels (mono or stereo only)");
}

}  // namespace
}  // namespace wavetest
