// ZTI_CreateImageResized and the colour fill of transparent pixels.
//
// The resize is separable: each axis gets a table of source taps and weights
// per target pixel, bilinear when the axis grows or shrinks by less than 1.5,
// an area average of the covered source pixels when it shrinks more (where
// bilinear would skip source pixels and shimmer). Rows are resampled
// horizontally once each, into a small window of rows that the vertical pass
// reads, so memory stays a few rows whatever the size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "api/engine_api.h"
#include "image/image_codec.h"

namespace vz::image {

namespace {

constexpr double AREA_AVERAGE_FROM = 1.5;

struct AxisTaps {
    std::vector<int32_t> first;   // first source index of each target index
    std::vector<int32_t> offset;  // where its weights start in `weights`
    std::vector<int32_t> count;
    std::vector<float> weights;
    int32_t widest = 0;
};

AxisTaps tapsFor(int32_t source, int32_t target) {
    AxisTaps taps;
    taps.first.resize(static_cast<size_t>(target));
    taps.offset.resize(static_cast<size_t>(target));
    taps.count.resize(static_cast<size_t>(target));
    const double ratio = static_cast<double>(source) / target;
    for (int32_t i = 0; i < target; ++i) {
        taps.offset[static_cast<size_t>(i)] = static_cast<int32_t>(taps.weights.size());
        if (ratio < AREA_AVERAGE_FROM) {
            // The two nearest source pixels, centres aligned, clamped to the edges.
            double at = (i + 0.5) * ratio - 0.5;
            if (at < 0.0) at = 0.0;
            if (at > source - 1) at = source - 1;
            const auto low = static_cast<int32_t>(at);
            const auto fraction = static_cast<float>(at - low);
            taps.first[static_cast<size_t>(i)] = low;
            if (low + 1 < source && fraction > 0.0f) {
                taps.weights.push_back(1.0f - fraction);
                taps.weights.push_back(fraction);
            } else {
                taps.weights.push_back(1.0f);
            }
        } else {
            // Every source pixel under [i, i+1) scaled back, by how much it is covered.
            const double start = i * ratio, end = (i + 1) * ratio;
            auto low = static_cast<int32_t>(start);
            auto high = static_cast<int32_t>(std::ceil(end));
            if (high > source) high = source;
            taps.first[static_cast<size_t>(i)] = low;
            for (int32_t s = low; s < high; ++s) {
                const double covered = std::fmin(end, s + 1.0) - std::fmax(start, static_cast<double>(s));
                taps.weights.push_back(static_cast<float>(covered / ratio));
            }
        }
        const auto n = static_cast<int32_t>(taps.weights.size()) - taps.offset[static_cast<size_t>(i)];
        taps.count[static_cast<size_t>(i)] = n;
        if (n > taps.widest) taps.widest = n;
    }
    return taps;
}

// One source row resampled to the target width, four float channels a pixel.
void resampleRow(const uint8_t* row, const AxisTaps& taps, float* out) {
    const size_t width = taps.first.size();
    for (size_t x = 0; x < width; ++x) {
        const uint8_t* in = row + static_cast<size_t>(taps.first[x]) * 4;
        const float* w = taps.weights.data() + taps.offset[x];
        float sum[4] = {0, 0, 0, 0};
        for (int32_t k = 0; k < taps.count[x]; ++k, in += 4)
            for (int ch = 0; ch < 4; ++ch) sum[ch] += w[k] * in[ch];
        std::memcpy(out + x * 4, sum, sizeof sum);
    }
}

uint8_t toByte(float value) {
    const float rounded = value + 0.5f;
    if (rounded <= 0.0f) return 0;
    if (rounded >= 255.0f) return 255;
    return static_cast<uint8_t>(rounded);
}

void resample(const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, uint8_t* target, int32_t width,
              int32_t height) {
    const AxisTaps across = tapsFor(sourceWidth, width);
    const AxisTaps down = tapsFor(sourceHeight, height);
    // A window of horizontally resampled source rows; row r lives in slot
    // r % slots. Target rows use non-decreasing source rows, so a row is
    // evicted only once no later target row needs it.
    const auto slots = static_cast<size_t>(down.widest);
    const size_t rowFloats = static_cast<size_t>(width) * 4;
    std::vector<float> window(slots * rowFloats);
    std::vector<int32_t> slotRow(slots, -1);
    const size_t sourceRowBytes = static_cast<size_t>(sourceWidth) * 4;
    std::vector<float> sum(rowFloats);
    for (int32_t y = 0; y < height; ++y) {
        const int32_t first = down.first[static_cast<size_t>(y)];
        const float* w = down.weights.data() + down.offset[static_cast<size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int32_t k = 0; k < down.count[static_cast<size_t>(y)]; ++k) {
            const int32_t r = first + k;
            const size_t slot = static_cast<size_t>(r) % slots;
            float* row = window.data() + slot * rowFloats;
            if (slotRow[slot] != r) {
                resampleRow(source + static_cast<size_t>(r) * sourceRowBytes, across, row);
                slotRow[slot] = r;
            }
            for (size_t i = 0; i < rowFloats; ++i) sum[i] += w[k] * row[i];
        }
        uint8_t* out = target + static_cast<size_t>(y) * rowFloats;
        for (size_t i = 0; i < rowFloats; ++i) out[i] = toByte(sum[i]);
    }
}

}  // namespace

void fillTransparentColoursIn(VozerBitmap* bitmap, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (!bitmap || !bitmap->pixels) return;
    const int32_t width = pixelWidth(bitmap), height = pixelHeight(bitmap);
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width), y1 = std::min(y1, height);
    // Pixels as little-endian words: alpha, the fourth byte in either byte
    // order, is the top byte, and the colour the three below it.
    constexpr uint32_t ALPHA = 0xFF000000u;
    for (int32_t y = y0; y < y1; ++y) {
        uint32_t* row = bitmap->pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        const uint32_t* above = y > 0 ? row - width : nullptr;
        const uint32_t* below = y + 1 < height ? row + width : nullptr;
        for (int32_t x = x0; x < x1; ++x) {
            uint32_t colour = row[x];
            if (colour & ALPHA) continue;
            // Above, right, below, left: a later opaque neighbour wins. Alpha
            // never changes here, so the order of the pass does not matter.
            if (above && (above[x] & ALPHA)) colour = above[x];
            if (x + 1 < width && (row[x + 1] & ALPHA)) colour = row[x + 1];
            if (below && (below[x] & ALPHA)) colour = below[x];
            if (x > 0 && (row[x - 1] & ALPHA)) colour = row[x - 1];
            row[x] = colour & ~ALPHA;
        }
    }
}

void fillTransparentColours(VozerBitmap* bitmap) { fillTransparentColoursIn(bitmap, 0, 0, INT32_MAX, INT32_MAX); }

bool createImageResized(VozerBitmap* target, const VozerBitmap* source, int32_t width, int32_t height) {
    VozerEngineApi* engine = api();
    if (!target) {
        engine->Popup(1, "ZTI_CreateImageResized bm_target is null.");
        return false;
    }
    if (!source) {
        engine->Popup(1, "ZTI_CreateImageResized bm_source is null.");
        return false;
    }
    if (!source->pixels) {
        engine->Popup(1, "ZTI_CreateImageResized bm_source '%s' has no pixels.",
                      source->name ? source->name : "(null)");
        return false;
    }
    if (width < 1 || width > 65534 || height < 1 || height > 65534 ||
        static_cast<int64_t>(width) * height > MAX_IMAGE_PIXELS) {
        engine->Popup(1, "ZTI_CreateImageResized size %dx%d is out of range.", width, height);
        return false;
    }
    const int32_t sourceWidth = pixelWidth(source), sourceHeight = pixelHeight(source);
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    // The new pixels are made in full before the target changes, so the
    // target may be the source itself.
    auto* pixels = static_cast<uint8_t*>(std::malloc(bytes));
    if (!pixels) {
        engine->Log(1, "ZTI_CreateImageResized out of memory for %dx%d pixels.\n", width, height);
        return false;
    }
    const bool sameSize = width == sourceWidth && height == sourceHeight;
    if (sameSize) {
        std::memcpy(pixels, source->pixels, bytes);
    } else {
        try {
            resample(reinterpret_cast<const uint8_t*>(source->pixels), sourceWidth, sourceHeight, pixels, width,
                     height);
        } catch (const std::bad_alloc&) {
            std::free(pixels);
            engine->Log(1, "ZTI_CreateImageResized out of memory for %dx%d pixels.\n", width, height);
            return false;
        }
    }
    const uint8_t alpha = source->flags & VZ_BITMAP_HAS_ALPHA;
    std::free(target->pixels);
    target->pixels = reinterpret_cast<uint32_t*>(pixels);
    target->width = target->dataWidth = width;
    target->height = target->dataHeight = height;
    target->flags = static_cast<uint8_t>((target->flags & ~VZ_BITMAP_HAS_ALPHA) | alpha);
    if (!sameSize) fillTransparentColours(target);
    return true;
}

}  // namespace vz::image
