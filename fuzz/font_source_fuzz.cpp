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
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "data/vudozar.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_pool.h"
#include "font/text_layout.h"
#include "fuzz_support.h"
#include "image/image_loader.h"

using vz::fuzz::check;

namespace {

struct MemFile {
    const std::string* bytes;
    int32_t position;
};

std::map<std::string, std::string>& files() {
    static std::map<std::string, std::string> served;
    return served;
}

VozerFile* VZ_CDECL openFile(const char* name, const char*) {
    auto it = files().find(name ? name : "");
    return it == files().end() ? nullptr : reinterpret_cast<VozerFile*>(new MemFile{&it->second, 0});
}
void VZ_CDECL closeFile(VozerFile* file) { delete reinterpret_cast<MemFile*>(file); }
int32_t VZ_CDECL readFile(void* buffer, int32_t bytes, VozerFile* file) {
    auto* f = reinterpret_cast<MemFile*>(file);
    int32_t n = static_cast<int32_t>(f->bytes->size()) - f->position;
    if (n > bytes) n = bytes;
    if (n <= 0) return 0;
    std::memcpy(buffer, f->bytes->data() + f->position, static_cast<size_t>(n));
    f->position += n;
    return n;
}
vz_bool VZ_CDECL seekFile(VozerFile* file, int32_t offset, int32_t origin) {
    auto* f = reinterpret_cast<MemFile*>(file);
    const int32_t size = static_cast<int32_t>(f->bytes->size());
    const int32_t base = origin == 0 ? 0 : origin == 1 ? f->position : size;
    if (base + offset < 0 || base + offset > size) return 0;
    f->position = base + offset;
    return 1;
}
int32_t VZ_CDECL tellFile(VozerFile* file) { return reinterpret_cast<MemFile*>(file)->position; }

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

void serveFiles() {
    VozerEngineApi* table = vz::api();
    table->OpenFile = &openFile;
    table->CloseFile = &closeFile;
    table->ReadFile = &readFile;
    table->SeekFile = &seekFile;
    table->TellFile = &tellFile;
    files()["f.ttf"] = readCorpusFile("ttf/outlines.ttf");
    check(!files()["f.ttf"].empty());
    files()["g.png"] = glyphStrip(1);
    files()["g2.png"] = glyphStrip(2);
    files()["lang.xml"] =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><vudozar><array id=\"STRINGS\">"
        "<node id=\"hello\" from=\"Hello\" to=\"Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\"/><node id=\"AV To\"/>"
        "</array></vudozar>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (vz::fillEngineApi(), vz::fuzz::silenceMessages(), serveFiles(), true);
    (void)ready;
    namespace font = vz::font;

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
                check((g.kerning != nullptr) == options.kernUtf8);
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
