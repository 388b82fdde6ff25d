// Fuzz target for the sound library's WAV reader: any bytes as a sound file.
// An accepted file has a layout the mixer can play, never gives more frames
// than it claims, and reads the same after a rewind.
#include <cstdint>
#include <vector>

#include "decoder.h"
#include "fuzz_support.h"

using vz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error, notes;
    std::unique_ptr<wave::Decoder> decoder =
        wave::openDecoder(std::make_unique<wave::MemorySource>(data, size), &error, &notes);
    if (!decoder) {
        check(!error.empty());
        return 0;
    }
    check(decoder->channels() >= 1 && decoder->channels() <= wave::MAX_CHANNELS);
    check(decoder->rate() >= wave::MIN_RATE && decoder->rate() <= wave::MAX_RATE);
    // Bounded: an input of a few bytes may claim a long sound.
    const int64_t limit = 1 << 20;
    wave::Pcm first, second;
    wave::decodeAll(*decoder, &first, limit);
    check(decoder->frames() < 0 || first.frames() <= decoder->frames());
    check(first.samples.size() == static_cast<size_t>(first.frames()) * static_cast<size_t>(decoder->channels()));
    if (decoder->rewind()) {
        wave::decodeAll(*decoder, &second, limit);
        check(second.samples == first.samples);
    }
    return 0;
}
