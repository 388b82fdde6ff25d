// Fuzz target for the ".bms" bitmap sequence reader: any bytes as a sequence
// file held in memory. Whatever loads must be whole (every frame has its
// pixels or its place in an atlas that has pixels) and must write out and
// read back as the same frames.
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "image/bitmap_sequence.h"
#include "image/image_loader.h"
#include "state/runtime_state.h"

namespace {

// Touch every pixel so the sanitizer sees a buffer shorter than its size.
void readAll(const VozerBitmap& b) {
    const int64_t pixels = static_cast<int64_t>(b.dataWidth) * b.dataHeight;
    uint32_t sum = 0;
    for (int64_t i = 0; i < pixels; ++i) sum += b.pixels[i];
    volatile uint32_t kept = sum;
    (void)kept;
}

void checkLoaded(const VozerBitmap& s) {
    using vz::fuzz::check;
    check(s.frames && s.frameCount >= 1 && s.frameCount <= vz::image::MAX_SEQUENCE_FRAMES);
    if (s.atlas) {
        check(s.atlas->pixels != nullptr);
        readAll(*s.atlas);
    }
    for (int32_t i = 0; i < s.frameCount; ++i) {
        const VozerBitmap& f = s.frames[i];
        check(f.width >= 1 && f.height >= 1);
        if (!s.atlas) {
            check(f.pixels && f.dataWidth == f.width && f.dataHeight == f.height);
            readAll(f);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        vz::fuzz::silenceMessages();
        vz::image::loaderSettings().maxPixels = int64_t{1} << 20;
        return true;
    }();
    (void)ready;
    vz::rt().pixelByteOrder = static_cast<int32_t>(size & 1);

    VozerBitmap sequence{};
    sequence.name = const_cast<char*>("fuzz");
    if (!vz::image::readBitmapSequence(&sequence, data, size, "fuzz")) {
        vz::fuzz::check(!sequence.frames && !sequence.atlas && sequence.frameCount == 0);
        return 0;
    }
    checkLoaded(sequence);
    // A sequence read frame by frame writes out and reads back unchanged.
    if (!sequence.atlas && sequence.frameCount <= 16) {
        vz::rt().shared.atlasPacking = 0;
        vz::image::ByteSink out;
        vz::fuzz::check(vz::image::writeBitmapSequence(&sequence, "fuzz", out));
        VozerBitmap again{};
        again.name = const_cast<char*>("again");
        vz::fuzz::check(vz::image::readBitmapSequence(&again, out.data, out.size, "again"));
        vz::image::discardBytes(out);
        vz::fuzz::check(again.frameCount == sequence.frameCount);
        for (int32_t i = 0; i < again.frameCount; ++i) {
            const VozerBitmap& a = again.frames[i];
            const VozerBitmap& b = sequence.frames[i];
            vz::fuzz::check(a.width == b.width && a.height == b.height && a.frameNumber == b.frameNumber);
            vz::fuzz::check(std::memcmp(a.pixels, b.pixels, static_cast<size_t>(a.width) * a.height * 4) == 0);
        }
        vz::image::freeSequence(&again);
    }
    vz::image::freeSequence(&sequence);
    return 0;
}
