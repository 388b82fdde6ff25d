// Fuzz target for font source documents (the .mft.xml a game ships for a
// font to be generated): any bytes read as a Vudozar database and generated
// from, with the files a source may name served from memory: an outline font
// "f.ttf", glyph bitmaps "g.png" (six blocks) and "g2.png" (the same at twice
// the size), and a strings database "lang.xml". A font that comes out must
// be whole: UTF-8 glyphs sorted by code with kerning rows only when asked
// for, single-byte ones all 256 with a row each, and it must survive being
// written and read back and having text laid out with it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "data/vudozar.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_kerning.h"
#include "font/font_pool.h"
#include "font/text_layout.h"
#include "../tests/data/api_capture.h"
#include "fuzz_support.h"
#include "image/image_loader.h"

using vz::fuzz::check;

namespace {

std::string readCorpusFile(const char* name) {
    std::string bytes;
    if (FILE* f = std::fopen((std::string(VOZER_FUZZ_CORPUS_DIR) + "/" + name).c_str(), "rb")) {
        char block[4096];
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
        std::fclose(f);
    }
    return bytes;
}

// Six white blocks `scale` pixels wide, two apart, of different heights:
// glyphs as an artist draws them side by side.
std::string glyphStrip(int32_t scale) {
    VozerBitmap strip{};
    vz::image::allocateImagePixels(&strip, 36 * scale, 10 * scale);
    std::memset(strip.pixels, 0, static_cast<size_t>(strip.width) * strip.height * 4);
    for (int32_t block = 0; block < 6; ++block)
        for (int32_t y = block * scale; y < strip.height; ++y)
            for (int32_t x = block * 6 * scale; x < (block * 6 + 4) * scale; ++x)
                strip.pixels[y * strip.width + x] = 0xFFFFFFFFu;
    uint8_t* data = nullptr;
    size_t size = 0;
    check(vz::image::encodePng(&strip, &data, &size));
    std::string bytes(reinterpret_cast<const char*>(data), size);
    vz::image::freeEncoded(data);
    vz::image::freeImagePixels(&strip);
    return bytes;
}

// What a source may name, made once.
struct Served {
    std::string ttf = readCorpusFile("ttf/outlines.ttf");
    std::string strip = glyphStrip(1), strip2 = glyphStrip(2);
    std::string strings =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><vudozar><array id=\"STRINGS\">"
        "<node id=\"hello\" from=\"Hello\" to=\"Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\"/><node id=\"AV To\"/>"
        "</array></vudozar>";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (vz::fillEngineApi(), true);
    (void)ready;
    static const Served served;
    check(!served.ttf.empty());
    namespace font = vz::font;
    // Messages and files of this input only.
    vz::testing::ApiCapture capture;
    capture.addFile("f.ttf", served.ttf);
    capture.addFile("g.png", served.strip);
    capture.addFile("g2.png", served.strip2);
    capture.addFile("lang.xml", served.strings);

    std::unique_ptr<vz::vudozar::Database> db = vz::vudozar::LoadDatabaseFromMemory("fuzz.mft.xml", data, size);
    // Both ways a source is generated: the runtime's and vozer-font --kern.
    font::GenerateOptions options;
    options.kernUtf8 = size % 2 == 1;
    VozerFont f{};
    font::initFontRecord(&f, "fuzz.mft");
    if (font::generateFontFromDatabase(&f, db.get(), "fuzz.mft.xml", 1.0, options)) {
        check(f.glyphCount > 0 && f.glyphs);
        for (int32_t i = 0; i < f.glyphCount; ++i) {
            const font::FontGlyph& g = f.glyphs[i];
            if (f.utf8) {
                check(i == 0 || f.glyphs[i - 1].code < g.code);
                // Ideographs and everything after them never kern: no row.
                check((g.kerning != nullptr) == (options.kernUtf8 && g.code < font::KERN_CODE_LIMIT));
            } else {
                check(f.glyphCount == 256 && g.kerning != nullptr);
            }
            check(!g.bitmap.pixels || (g.bitmap.width > 0 && g.bitmap.height > 0));
        }
        const std::vector<uint8_t> bytes = font::encodeFontFile(&f);
        VozerFont again{};
        font::initFontRecord(&again, "fuzz.mft");
        check(font::decodeFontFile(&again, bytes.data(), bytes.size()));
        check(again.glyphCount == f.glyphCount && font::encodeFontFile(&again) == bytes);
        font::clearFontRecord(&again);

        font::Layout layout;
        font::layoutText(&f, "Hello AV To|#ff0000| Gr\xC3\xBC\xC3\x9F" "e\r\n\xE4\xB8\xAD||x", 30.0f, layout);
        for (const font::LayoutItem& item : layout.items) check(item.glyph < f.glyphCount);
    }
    font::clearFontRecord(&f);
    return 0;
}
