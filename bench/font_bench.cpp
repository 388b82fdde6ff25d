// Font generation and text drawing against references measured in the same
// run: generating DejaVu Sans for printable ASCII and Latin-1 (FreeType,
// kerning, packing) against FreeType rendering the same glyphs alone, and
// laying out and submitting 10,000 characters of wrapped text against the
// same glyph quads submitted directly.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <fstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "compare.h"
#include "font/font_atlas.h"
#include "font/font_generate.h"
#include "font/font_pool.h"
#include "font/text_layout.h"
#include "font/text_slots.h"
#include "state/runtime_state.h"

namespace {

int32_t quietPrint(const char*, ...) { return 0; }
int32_t quietLevel(int32_t, const char*, ...) { return 0; }

// Files served from memory, so that disk speed stays out of the figures.
std::map<std::string, std::string>& files() {
    static std::map<std::string, std::string> f;
    return f;
}
struct MemFile {
    const std::string* bytes;
    size_t position;
};
VozerFile* openFile(const char* name, const char* mode) {
    auto it = files().find(name ? name : "");
    if (it == files().end() || !mode || mode[0] != 'r') return nullptr;
    return reinterpret_cast<VozerFile*>(new MemFile{&it->second, 0});
}
void closeFile(VozerFile* file) { delete reinterpret_cast<MemFile*>(file); }
int32_t readFile(void* buffer, int32_t bytes, VozerFile* file) {
    MemFile* f = reinterpret_cast<MemFile*>(file);
    const size_t n = std::min(static_cast<size_t>(bytes), f->bytes->size() - f->position);
    std::memcpy(buffer, f->bytes->data() + f->position, n);
    f->position += n;
    return static_cast<int32_t>(n);
}
vz_bool seekFile(VozerFile* file, int32_t offset, int32_t origin) {
    MemFile* f = reinterpret_cast<MemFile*>(file);
    const size_t base = origin == 0 ? 0 : origin == 1 ? f->position : f->bytes->size();
    f->position = base + static_cast<size_t>(offset);
    return 1;
}
int32_t tellFile(VozerFile* file) { return static_cast<int32_t>(reinterpret_cast<MemFile*>(file)->position); }

const std::string& dejaVuSans() {
    static const std::string bytes = [] {
        std::ifstream in(std::string(VOZER_DEJAVU_DIR) + "/DejaVuSans.ttf", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

// Printable ASCII and Latin-1: 95 + 95 characters.
std::vector<int32_t> benchCodes() {
    std::vector<int32_t> codes;
    for (int32_t c = 32; c < 127; ++c) codes.push_back(c);
    for (int32_t c = 161; c < 256; ++c) codes.push_back(c);
    return codes;
}

void setUp() {
    static const bool done = [] {
#if defined(__GLIBC__)
        // A generation allocates and frees megabytes (the outline font, the
        // glyph images, the atlas page). Depending on which benchmark ran
        // first, glibc's moving thresholds either keep that memory in the
        // heap or hand it back to the system after every iteration, and the
        // figures flip between two modes five times apart (page faults, not
        // generation). Fixed thresholds keep every run in the warm-heap mode.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
        vz::fillEngineApi();
        VozerEngineApi* a = vz::api();
        a->Print = &quietPrint;
        a->Log = &quietLevel;
        a->Popup = &quietLevel;
        a->OpenFile = &openFile;
        a->CloseFile = &closeFile;
        a->ReadFile = &readFile;
        a->SeekFile = &seekFile;
        a->TellFile = &tellFile;
        files()["DejaVuSans.ttf"] = dejaVuSans();
        std::string latin1;
        for (int32_t c = 161; c < 256; ++c) {  // as UTF-8
            latin1 += static_cast<char>(0xC0 | (c >> 6));
            latin1 += static_cast<char>(0x80 | (c & 0x3F));
        }
        for (int size : {16, 48})
            files()["bench" + std::to_string(size) + ".mft.xml"] =
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<vudozar><array id=\"settings\">"
                "<node id=\"INPUT\" ttf=\"DejaVuSans.ttf\" size_px=\"" + std::to_string(size) +
                "\"/><node id=\"SPACING\" value=\"1\"/></array><array id=\"additional_utf_characters\">"
                "<node id=\"" + latin1 + "\"/></array></vudozar>";
        vz::rt().shared.atlasPacking = 1;  // packed as for the Direct3D 8 renderer
        return true;
    }();
    (void)done;
}

// The whole generation of a font from its source: FreeType rendering, the
// colour fill, automatic kerning of every pair and packing into an atlas.
template <int Size>
void BM_GenerateFont(benchmark::State& state) {
    setUp();
    const std::string name = "bench" + std::to_string(Size) + ".mft";
    int32_t glyphs = 0;
    for (auto _ : state) {
        VozerFont font{};
        vz::font::initFontRecord(&font, name.c_str());
        if (!vz::font::ZTI_GenerateFontFromSource(&font, 1.0)) state.SkipWithError("generation failed");
        vz::font::ZTI_RecreateFontAtlas(&font);
        glyphs = font.glyphCount;
        vz::font::clearFontRecord(&font);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * glyphs);
}

// FreeType alone: open the face and render the same characters, nothing kept.
template <int Size>
void BM_FreeTypeRender(benchmark::State& state) {
    setUp();
    const std::string& ttf = dejaVuSans();
    const std::vector<int32_t> codes = benchCodes();
    for (auto _ : state) {
        FT_Library library;
        FT_Face face;
        FT_Init_FreeType(&library);
        FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(ttf.data()), static_cast<FT_Long>(ttf.size()), 0,
                           &face);
        FT_Set_Pixel_Sizes(face, 0, Size);
        for (int32_t code : codes) {
            FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(codes.size()));
}

BENCHMARK_TEMPLATE(BM_GenerateFont, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FreeTypeRender, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_GenerateFont, 48)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FreeTypeRender, 48)->Unit(benchmark::kMillisecond);
VOZER_COMPARE(BM_GenerateFont<16>, BM_FreeTypeRender<16>, "generation also kerns every pair and packs an atlas");
VOZER_COMPARE(BM_GenerateFont<48>, BM_FreeTypeRender<48>, "generation also kerns every pair and packs an atlas");

// A 16 px font and 10,000 characters of prose with spaces, commas, a few
// line feeds and some Latin-1.
VozerFont& textFont() {
    static VozerFont font = [] {
        setUp();
        VozerFont f{};
        vz::font::initFontRecord(&f, "bench16.mft");
        vz::font::ZTI_GenerateFontFromSource(&f, 1.0);
        return f;
    }();
    return font;
}
const std::string& prose() {
    static const std::string text = [] {
        const std::string sentence = "The quick brown fox jumps over the lazy dog, while Gr\xC3\xBC\xC3\x9F" "e and caf\xC3\xA9 wait. ";
        std::string out;
        size_t characters = 0;
        while (characters < 10000) {
            out += sentence;
            characters += sentence.size() - 3;  // three two-byte characters
            if (out.size() % 7 == 0) out += "\n";
        }
        return out;
    }();
    return text;
}

int64_t countCharacters(const std::string& s) {
    int64_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

void BM_TextLayoutAndSubmit(benchmark::State& state) {
    VozerFont& font = textFont();
    const std::string& text = prose();
    vz::font::resetTextSettings();
    vz::api()->SetTextWrapWidth(600.0f);
    for (auto _ : state) benchmark::DoNotOptimize(vz::font::drawTextPlain(&font, 10.0f, 10.0f, text.c_str()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * countCharacters(text));
}

// The same glyph quads handed to the same drawing slot, positions worked out
// beforehand: what submitting costs without decoding, lookup and wrapping.
void BM_PlainGlyphQuads(benchmark::State& state) {
    VozerFont& font = textFont();
    const std::string& text = prose();
    vz::font::Layout layout;
    vz::font::layoutText(&font, text.c_str(), 600.0f, layout);
    struct Quad {
        VozerBitmap* bitmap;
        float x, y;
    };
    std::vector<Quad> quads;
    float y = 0;
    for (const vz::font::LayoutLine& line : layout.lines) {
        float x = 0;
        for (int32_t i = line.first; i < line.end; ++i) {
            const vz::font::LayoutItem& item = layout.items[static_cast<size_t>(i)];
            if (item.glyph >= 0) quads.push_back({&font.glyphs[item.glyph].bitmap, x, y});
            x += item.advance + item.kern;
        }
        y += static_cast<float>(font.lineHeight);
    }
    VozerEngineApi* a = vz::api();
    for (auto _ : state)
        for (const Quad& q : quads) a->DrawBitmap(q.bitmap, q.x, q.y);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * countCharacters(text));
}

BENCHMARK(BM_TextLayoutAndSubmit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainGlyphQuads)->Unit(benchmark::kMicrosecond);
VOZER_COMPARE(BM_TextLayoutAndSubmit, BM_PlainGlyphQuads, "the reference skips decoding, glyph lookup and wrapping");

}  // namespace
