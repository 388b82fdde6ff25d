// The atlas packer against a MaxRects packer on the same 200 random sprite
// sizes: time per packing and, as counters, the occupancy (source area over
// atlas area) and the atlas side. The engine keeps its shelf packer because
// sequence files and fonts made with it must keep their layout; these figures
// tell game makers what that costs in texture memory.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench_support.h"
#include "compare.h"
#include "image/atlas_packer.h"
#include "image/image_loader.h"

namespace {

constexpr int32_t GAP = 2;
constexpr int SPRITES = 200;

struct Sprites {
    std::vector<VozerBitmap> bitmaps;
    std::vector<VozerBitmap*> inOrder;   // the order they were made in
    double area = 0.0;

    Sprites() {
        vz::bench::startQuietEngine();
        std::mt19937 random(1234);
        std::uniform_int_distribution<int32_t> side(8, 72);
        bitmaps.resize(SPRITES);
        for (VozerBitmap& b : bitmaps) {
            std::memset(&b, 0, sizeof b);
            vz::image::allocateImagePixels(&b, side(random), side(random));
            for (int32_t i = 0; i < b.width * b.height; ++i) b.pixels[i] = 0xFF000000u | static_cast<uint32_t>(i);
            area += static_cast<double>(b.width) * b.height;
            inOrder.push_back(&b);
        }
    }
    ~Sprites() {
        for (VozerBitmap& b : bitmaps) vz::image::freeImagePixels(&b);
    }
};

Sprites& sprites() {
    static Sprites s;
    return s;
}

// Every shelf is as tall as the tallest sprite, so the order of the sources
// hardly matters to it; they are packed in the order they were made.
void BM_ShelfPackBitmaps(benchmark::State& state) {
    const std::vector<VozerBitmap*>& sources = sprites().inOrder;
    VozerBitmap atlas{};
    for (auto _ : state) {
        const bool packed = vz::image::ZTI_PackBitmaps(&atlas, sources.data(), static_cast<int32_t>(sources.size()));
        benchmark::DoNotOptimize(packed);
    }
    state.counters["occupancy"] = sprites().area / (static_cast<double>(atlas.width) * atlas.height);
    state.counters["atlas_w"] = atlas.width;
    state.counters["atlas_h"] = atlas.height;
    std::free(atlas.pixels);
}


// [SECTION] The reference: MaxRects, best short side fit

struct Rect {
    int32_t x, y, w, h;
};

bool contains(const Rect& a, const Rect& b) {
    return b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h;
}

// Every sprite takes its size plus the gap; the free area starts inside a
// border of the gap, so sprites keep two pixels from each other and the edge
// as the shelf packer's do. False when one does not fit.
bool maxRects(const std::vector<VozerBitmap*>& sources, int32_t width, int32_t height, std::vector<Rect>& placed) {
    std::vector<Rect> free = {{GAP, GAP, width - GAP, height - GAP}};
    placed.clear();
    for (const VozerBitmap* s : sources) {
        const int32_t w = s->width + GAP, h = s->height + GAP;
        int best = -1, bestShort = INT32_MAX, bestLong = INT32_MAX;
        for (size_t i = 0; i < free.size(); ++i) {
            const Rect& f = free[i];
            if (w > f.w || h > f.h) continue;
            const int32_t shortSide = std::min(f.w - w, f.h - h), longSide = std::max(f.w - w, f.h - h);
            if (shortSide < bestShort || (shortSide == bestShort && longSide < bestLong)) {
                best = static_cast<int>(i);
                bestShort = shortSide;
                bestLong = longSide;
            }
        }
        if (best < 0) return false;
        const Rect used = {free[static_cast<size_t>(best)].x, free[static_cast<size_t>(best)].y, w, h};
        placed.push_back(used);
        std::vector<Rect> next;
        for (const Rect& f : free) {
            if (used.x >= f.x + f.w || used.x + used.w <= f.x || used.y >= f.y + f.h || used.y + used.h <= f.y) {
                next.push_back(f);
                continue;
            }
            if (used.x > f.x) next.push_back({f.x, f.y, used.x - f.x, f.h});
            if (used.x + used.w < f.x + f.w) next.push_back({used.x + used.w, f.y, f.x + f.w - used.x - used.w, f.h});
            if (used.y > f.y) next.push_back({f.x, f.y, f.w, used.y - f.y});
            if (used.y + used.h < f.y + f.h) next.push_back({f.x, used.y + used.h, f.w, f.y + f.h - used.y - used.h});
        }
        free.clear();
        for (size_t i = 0; i < next.size(); ++i) {
            bool inside = false;
            for (size_t j = 0; j < next.size() && !inside; ++j)
                inside = i != j && contains(next[j], next[i]) && !(contains(next[i], next[j]) && i < j);
            if (!inside) free.push_back(next[i]);
        }
    }
    return true;
}

// The same size search as the shelf packer (powers of two, smallest area,
// squarer first), the sources tallest first as MaxRects wants, and the same
// pixel copy into a zeroed atlas.
void BM_MaxRectsPack(benchmark::State& state) {
    std::vector<VozerBitmap*> sources = sprites().inOrder;
    int32_t width = 0, height = 0;
    std::vector<Rect> placed;
    for (auto _ : state) {
        std::stable_sort(sources.begin(), sources.end(), [](const VozerBitmap* a, const VozerBitmap* b) {
            return a->width * a->height > b->width * b->height;
        });
        width = height = 0;
        for (int64_t area = 32 * 32; area <= int64_t{2048} * 2048 && !width; area *= 2) {
            for (int32_t h = 32; h <= 2048 && !width; h *= 2) {
                const int32_t w = static_cast<int32_t>(area / h);
                if (w < h || w > 2048 || w > h * 2) continue;  // the squarer shape of each area first
                for (const auto& size : {std::make_pair(w, h), std::make_pair(h, w)}) {
                    if (!width && maxRects(sources, size.first, size.second, placed)) {
                        width = size.first;
                        height = size.second;
                    }
                }
            }
        }
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        for (size_t i = 0; i < placed.size(); ++i) {
            const VozerBitmap* s = sources[i];
            for (int32_t row = 0; row < s->height; ++row)
                std::memcpy(&pixels[static_cast<size_t>(placed[i].y + row) * static_cast<size_t>(width) + placed[i].x],
                            s->pixels + static_cast<size_t>(row) * static_cast<size_t>(s->width),
                            static_cast<size_t>(s->width) * 4u);
        }
        benchmark::DoNotOptimize(pixels.data());
        sources = sprites().inOrder;
    }
    state.counters["occupancy"] = sprites().area / (static_cast<double>(width) * height);
    state.counters["atlas_w"] = width;
    state.counters["atlas_h"] = height;
}

}  // namespace

BENCHMARK(BM_ShelfPackBitmaps)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaxRectsPack)->Unit(benchmark::kMicrosecond);
VOZER_COMPARE(BM_ShelfPackBitmaps, BM_MaxRectsPack,
              "the shelf packer also colours the gaps; compare the occupancy counters for texture memory");
