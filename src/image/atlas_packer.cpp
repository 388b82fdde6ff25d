#include "image/atlas_packer.h"

#include <cstdlib>
#include <cstring>

#include "api/engine_api.h"
#include "image/image_loader.h"

namespace vz::image {

namespace {

constexpr int32_t GAP = 2;  // transparent pixels around every source

int32_t dataWidth(const VozerBitmap* b) { return b->dataWidth > 0 ? b->dataWidth : b->width; }
int32_t dataHeight(const VozerBitmap* b) { return b->dataHeight > 0 ? b->dataHeight : b->height; }

// Walks the shelves of an atlas of width x height: every source in order
// goes right of the previous one, and a source that would cross the right
// edge starts a new shelf one row height further down. Calls place(i, x, y)
// for each source that fits; false at the first one that does not.
template <typename Place>
bool walkShelves(VozerBitmap* const* sources, int32_t count, int32_t rowHeight, int32_t width, int32_t height,
                 Place place) {
    int32_t x = GAP, y = GAP;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t w = dataWidth(sources[i]);
        if (x > GAP && x + w + GAP > width) {
            x = GAP;
            y += rowHeight + GAP;
        }
        if (y + rowHeight + GAP > height || x + w + GAP > width) return false;
        place(i, x, y);
        x += w + GAP;
    }
    return true;
}

// Short side over long side: 1 for a square, smaller the longer it gets.
double squareness(int32_t width, int32_t height) {
    return width < height ? static_cast<double>(width) / height : static_cast<double>(height) / width;
}

int32_t nextPowerOfTwo(int32_t value) {
    int32_t p = 1;
    while (p < value && p < (1 << 30)) p <<= 1;
    return p;
}

// Copies source `s` to (x, y) of the atlas, with the transparent fill of the
// atlas where it can change anything: a clear pixel changes only beside ink,
// so only in a source and in the ring of pixels around it, never in the
// empty rest of the page. The ring is background whose other neighbours are
// background too (the gaps are wider than one pixel). Inside a source of one
// colour throughout (glyphs are all white) the fill changes nothing, and a
// ring pixel takes that colour where the source pixel beside it is not
// clear: done with each row while it is at hand. Whether the source is one
// colour shows only at its end; for one that is not, the fill is then done
// in full over it and its ring, which colours again every ring pixel the
// copy coloured (each is beside ink).
void copySource(VozerBitmap* atlas, const VozerBitmap* s, int32_t x, int32_t y) {
    const int32_t w = dataWidth(s), h = dataHeight(s);
    if (w <= 0 || h <= 0) return;
    constexpr uint32_t ALPHA = 0xFF000000u;  // the top byte of the little-endian pixel word
    const uint32_t first = s->pixels[0], colour = first & ~ALPHA;
    const size_t stride = static_cast<size_t>(atlas->width);
    uint32_t* const topLeft = atlas->pixels + static_cast<size_t>(y) * stride + x;
    uint32_t differs = 0;  // bits in which some pixel differs from the first
    for (int32_t row = 0; row < h; ++row) {
        const uint32_t* from = s->pixels + static_cast<size_t>(row) * static_cast<size_t>(w);
        uint32_t* to = topLeft + static_cast<size_t>(row) * stride;
        for (int32_t k = 0; k < w; ++k) {
            to[k] = from[k];
            differs |= from[k] ^ first;
        }
        // The page around a source is clear until its ring is written.
        to[-1] = (from[0] & ALPHA) ? colour : 0u;
        to[w] = (from[w - 1] & ALPHA) ? colour : 0u;
    }
    // Selects rather than branches: whether an edge pixel is clear changes
    // from pixel to pixel.
    const uint32_t* top = s->pixels;
    const uint32_t* bottom = s->pixels + static_cast<size_t>(h - 1) * static_cast<size_t>(w);
    uint32_t* above = topLeft - stride;
    uint32_t* below = topLeft + static_cast<size_t>(h) * stride;
    for (int32_t k = 0; k < w; ++k) above[k] = (top[k] & ALPHA) ? colour : 0u;
    for (int32_t k = 0; k < w; ++k) below[k] = (bottom[k] & ALPHA) ? colour : 0u;
    if (differs & ~ALPHA) fillTransparentColoursIn(atlas, x - 1, y - 1, x + w + 1, y + h + 1);
}

}  // namespace

bool ZTI_PackBitmaps(VozerBitmap* atlas, VozerBitmap* const* sources, int32_t count) {
    VozerEngineApi* a = api();
    if (!atlas || !sources || count <= 0) {
        a->Print("WARNING: Failed to tile %d bitmaps into any atlas.\n", count > 0 ? count : 0);
        return false;
    }
    freeImagePixels(atlas);
    atlas->width = atlas->height = atlas->dataWidth = atlas->dataHeight = 0;
    atlas->packMode = VZ_NO_PADDING;

    int32_t rowHeight = 0;
    double exactArea = 0.0, powerOfTwoArea = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        const VozerBitmap* s = sources[i];
        if (!s || !s->pixels) {
            a->Print("WARNING: Failed to tile %d bitmaps into any atlas.\n", count);
            return false;
        }
        const int32_t w = dataWidth(s), h = dataHeight(s);
        if (h > rowHeight) rowHeight = h;
        exactArea += static_cast<double>(w) * h;
        powerOfTwoArea += static_cast<double>(nextPowerOfTwo(w)) * nextPowerOfTwo(h);
    }

    // The smallest area wins, the squarer size at equal area. Sizes up to
    // 1024 suit every target; 2048 is the last resort.
    int32_t bestWidth = 0, bestHeight = 0;
    int64_t bestArea = int64_t{2048} * 2048;
    for (int e = 10; e <= 11 && bestWidth == 0; ++e) {
        for (int ah = e - 5; ah <= e; ++ah) {
            for (int bw = e - 5; bw <= e; ++bw) {
                const int32_t width = 1 << bw, height = 1 << ah;
                const int64_t area = int64_t{width} * height;
                // Smaller than the sources together, nothing can fit.
                if (area > bestArea || static_cast<double>(area) < exactArea) continue;
                if (area == bestArea && bestWidth != 0 &&
                    squareness(width, height) < squareness(bestWidth, bestHeight))
                    continue;
                if (!walkShelves(sources, count, rowHeight, width, height, [](int32_t, int32_t, int32_t) {}))
                    continue;
                a->Print("Fits into %dx%d (%d %% full)\n", width, height,
                         static_cast<int>(exactArea / static_cast<double>(area) * 100.0));
                bestWidth = width;
                bestHeight = height;
                bestArea = area;
            }
        }
    }
    if (bestWidth == 0) {
        // Too much for one atlas is a content mistake; the caller reports what
        // it could not build and nothing is lost.
        a->Popup(VZ_WARNING,
                 "ZTI_PackBitmaps unable to find large enough atlas size for %d bitmaps (first bm size %dx%d). "
                 "All bitmaps need to fit into 1024x1024 atlas for 100%% cross-platform compatibility.",
                 count, dataWidth(sources[0]), dataHeight(sources[0]));
        return false;
    }
    a->Print("Choosing %dx%d, packing pixels... (ratio %.2f vs single images)\n", bestWidth, bestHeight,
             powerOfTwoArea / static_cast<double>(bestArea));

    const size_t pixelCount = static_cast<size_t>(bestWidth) * static_cast<size_t>(bestHeight);
    auto* pixels = static_cast<uint32_t*>(std::calloc(pixelCount, sizeof(uint32_t)));
    if (!pixels) return false;
    atlas->pixels = pixels;
    atlas->width = atlas->dataWidth = bestWidth;
    atlas->height = atlas->dataHeight = bestHeight;

    const float fw = static_cast<float>(bestWidth), fh = static_cast<float>(bestHeight);
    walkShelves(sources, count, rowHeight, bestWidth, bestHeight, [&](int32_t i, int32_t x, int32_t y) {
        VozerBitmap* s = sources[i];
        const int32_t w = dataWidth(s), h = dataHeight(s);
        s->hw.uLeft = static_cast<float>(x) / fw;
        s->hw.vTop = static_cast<float>(y) / fh;
        s->hw.uRight = static_cast<float>(x + w) / fw;
        s->hw.vBottom = static_cast<float>(y + h) / fh;
        copySource(atlas, s, x, y);
    });
    a->Print("Successfully packed %d bitmaps into %dx%d atlas.\n", count, bestWidth, bestHeight);
    return true;
}

}  // namespace vz::image
