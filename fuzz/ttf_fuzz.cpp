// Fuzz target for outline font files as font generation reads them: any bytes
// rendered through FreeType at 12 px for printable ASCII and a few more
// characters. Every image FreeType hands over must come out as finished glyph
// pixels no larger than 8 times the pixel size, the kerning from the ink
// measured while the images are made must equal the kerning from scanning the
// finished images, and packed glyphs must land in the atlas as they are.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_kerning.h"
#include "font/font_pool.h"
#include "fuzz_support.h"
#include "image/atlas_packer.h"

using vz::fuzz::check;

namespace {

constexpr int32_t PIXELS = 12;
constexpr float THRESHOLD = 0.75f;
constexpr int32_t GLYPH_SIDE_LIMIT = 8 * PIXELS;

std::vector<int32_t> fuzzCodes() {
    std::vector<int32_t> codes;
    for (int32_t c = 32; c < 127; ++c) codes.push_back(c);
    for (int32_t c : {0xE9, 0x3A9, 0x416, 0x4E2D}) codes.push_back(c);
    return codes;
}

std::vector<std::vector<int8_t>> kerningRows(const VozerFont& f) {
    std::vector<std::vector<int8_t>> rows;
    for (int32_t i = 0; i < f.glyphCount; ++i)
        rows.emplace_back(f.glyphs[i].kerning ? std::vector<int8_t>(f.glyphs[i].kerning, f.glyphs[i].kerning + f.glyphCount)
                                              : std::vector<int8_t>());
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (vz::fillEngineApi(), vz::fuzz::silenceMessages(), true);
    (void)ready;
    namespace font = vz::font;
    static const std::vector<int32_t> codes = fuzzCodes();

    VozerFont f{};
    font::initFontRecord(&f, "fuzz.mft");
    check(font::resetGlyphTable(&f, static_cast<int32_t>(codes.size())));
    for (size_t i = 0; i < codes.size(); ++i) f.glyphs[i].code = codes[i];
    f.utf8 = 1;
    font::GlyphInk ink;
    ink.minAlpha = font::inkAlpha(THRESHOLD);
    if (font::createGlyphBitmapsFromTTFBytes(&f, data, size, "fuzz.ttf", PIXELS, nullptr, &ink)) {
        std::vector<VozerBitmap*> images;
        for (int32_t i = 0; i < f.glyphCount; ++i) {
            VozerBitmap& b = f.glyphs[i].bitmap;
            if (!b.pixels) continue;
            check(b.width > 0 && b.height > 0);
            // Larger glyphs are left out before they are rendered.
            check(b.width <= GLYPH_SIDE_LIMIT && b.height <= GLYPH_SIDE_LIMIT);
            for (int32_t p = 0; p < b.width * b.height; ++p)
                check((b.pixels[p] & 0x00FFFFFFu) == 0x00FFFFFFu &&
                      (b.pixels[p] >> 24 == 0 || b.pixels[p] >> 24 > font::FAINT_ALPHA));
            images.push_back(&b);
        }
        font::determineKernPairs(&f, 0, THRESHOLD, &ink);
        const auto measured = kerningRows(f);
        font::ZTI_DetermineKernPairs(&f, 0, THRESHOLD);
        check(kerningRows(f) == measured);

        VozerBitmap atlas{};
        if (!images.empty() && vz::image::ZTI_PackBitmaps(&atlas, images.data(), static_cast<int32_t>(images.size()))) {
            for (const VozerBitmap* b : images) {
                const auto x = static_cast<int32_t>(b->hw.uLeft * static_cast<float>(atlas.width) + 0.5f);
                const auto y = static_cast<int32_t>(b->hw.vTop * static_cast<float>(atlas.height) + 0.5f);
                for (int32_t row = 0; row < b->height; ++row)
                    check(std::memcmp(atlas.pixels + static_cast<size_t>(y + row) * static_cast<size_t>(atlas.width) + x,
                                      b->pixels + static_cast<size_t>(row) * static_cast<size_t>(b->width),
                                      sizeof(uint32_t) * static_cast<size_t>(b->width)) == 0);
            }
        }
        std::free(atlas.pixels);
    }
    font::clearFontRecord(&f);
    return 0;
}
