// Fuzz target for .mft font files: any bytes decoded as a font; a font that
// decodes must encode and decode to the same bytes again, and text laid out
// with it must stay inside its glyph table.
#include <cstdint>
#include <vector>

#include "api/engine_api.h"
#include "font/font_file.h"
#include "font/font_pool.h"
#include "font/text_layout.h"
#include "fuzz_support.h"

using vz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (vz::fillEngineApi(), vz::fuzz::silenceMessages(), true);
    (void)ready;
    namespace font = vz::font;

    VozerFont f{};
    font::initFontRecord(&f, "fuzz.mft");
    if (font::decodeFontFile(&f, data, size)) {
        check(f.glyphCount >= 0 && (f.glyphs || f.glyphCount == 0));
        const std::vector<uint8_t> once = font::encodeFontFile(&f);
        VozerFont again{};
        font::initFontRecord(&again, "fuzz.mft");
        check(font::decodeFontFile(&again, once.data(), once.size()));
        check(font::encodeFontFile(&again) == once);
        font::clearFontRecord(&again);

        font::Layout layout;
        font::layoutText(&f, "AV To|#ff0000| \xC3\xA9\xE4\xB8\xAD||x\nyz", 40.0f, layout);
        for (const font::LayoutItem& item : layout.items) check(item.glyph < f.glyphCount);
    }
    font::clearFontRecord(&f);
    return 0;
}
