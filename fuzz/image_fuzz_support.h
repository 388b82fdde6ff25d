// What the image decoder fuzz targets share: decode the input as one format,
// check what every decoder promises, and for small images check that saving
// as PNG and TGA and decoding again gives the very same pixels (which runs
// the encoders on every shape of image the decoders produce).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "image/image_loader.h"
#include "state/runtime_state.h"

namespace vz::fuzz {

inline void roundTrip(const VozerBitmap& decoded, image::ImageFormat format) {
    uint8_t* file = nullptr;
    size_t size = 0;
    check(image::encodeImage(&decoded, format, 90, &file, &size));
    VozerBitmap again{};
    check(image::decodeImage(&again, file, size, format, "again"));
    image::freeEncoded(file);
    check(again.width == decoded.width && again.height == decoded.height);
    const size_t bytes = static_cast<size_t>(decoded.width) * static_cast<size_t>(decoded.height) * 4;
    if (format != image::ImageFormat::Jpeg) check(std::memcmp(again.pixels, decoded.pixels, bytes) == 0);
    std::free(again.pixels);
}

inline void fuzzDecoder(const uint8_t* data, size_t size, image::ImageFormat format) {
    static const bool ready = [] {
        silenceMessages();
        // Big enough for every kind of image, small enough to keep inputs fast.
        image::loaderSettings().maxPixels = int64_t{1} << 20;
        return true;
    }();
    (void)ready;
    // Both byte orders, chosen by the input itself so a finding replays alike.
    rt().pixelByteOrder = static_cast<int32_t>(size & 1);

    VozerBitmap header{};
    const bool headerRead = image::readImageHeader(&header, data, size, format, "fuzz");
    check(header.pixels == nullptr);

    VozerBitmap bitmap{};
    bitmap.flags = VZ_BITMAP_HAS_ALPHA;
    const bool decoded = image::decodeImage(&bitmap, data, size, format, "fuzz");
    check(decoded == (bitmap.pixels != nullptr));
    if (!decoded) {
        check(bitmap.width == 0 && bitmap.height == 0);
        return;
    }
    check(headerRead && header.width == bitmap.width && header.height == bitmap.height);
    check(bitmap.width >= 1 && bitmap.height >= 1 && bitmap.dataWidth == bitmap.width &&
          bitmap.dataHeight == bitmap.height);
    const int64_t pixels = static_cast<int64_t>(bitmap.width) * bitmap.height;
    check(pixels <= image::loaderSettings().maxPixels);
    // Reading every pixel lets the sanitizer see a buffer shorter than the
    // size the bitmap claims.
    uint32_t sum = 0;
    for (int64_t i = 0; i < pixels; ++i) sum += bitmap.pixels[i];
    volatile uint32_t kept = sum;
    (void)kept;
    if (format == image::ImageFormat::Jpeg) check(!(bitmap.flags & VZ_BITMAP_HAS_ALPHA));
    if (pixels <= 64 * 64) {
        roundTrip(bitmap, image::ImageFormat::Png);
        roundTrip(bitmap, image::ImageFormat::Tga);
        roundTrip(bitmap, image::ImageFormat::Jpeg);
    }
    image::freeImagePixels(&bitmap);
}

}  // namespace vz::fuzz
