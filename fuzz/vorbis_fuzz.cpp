// Fuzz target for the sound library's Ogg Vorbis path: any bytes as an Ogg
// file, decoded through libvorbisfile from memory, then rewound and decoded
// again as looping music is. An accepted stream is mono or stereo at a sane
// rate, and decoding ends (by the end, a break-off or the bound) without
// reading or writing outside its buffers.
#include <cstdint>
#include <cstring>

#include "decoder.h"
#include "fuzz_support.h"

using vz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::unique_ptr<wave::Decoder> decoder = wave::openVorbis(std::make_unique<wave::MemorySource>(data, size), &error);
    if (!decoder) {
        check(!error.empty());
        return 0;
    }
    check(decoder->channels() >= 1 && decoder->channels() <= wave::MAX_CHANNELS);
    check(decoder->rate() >= wave::MIN_RATE && decoder->rate() <= wave::MAX_RATE);
    const int64_t limit = 1 << 18;
    wave::Pcm pcm;
    wave::decodeAll(*decoder, &pcm, limit);
    check(pcm.frames() <= limit);
    if (decoder->rewind()) {
        int16_t buffer[512 * wave::MAX_CHANNELS];
        check(decoder->read(buffer, 512) <= 512);
    }
    return 0;
}
