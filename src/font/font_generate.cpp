// ZTI_GenerateFontFromSource and the bitmap input: reading the source's
// settings, choosing and cutting the glyph bitmap, and the finishing steps
// every generated font goes through.
#include "font/font_generate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "data/vudozar.h"
#include "font/font_file.h"
#include "font/font_kerning.h"
#include "image/atlas_packer.h"
#include "image/image_loader.h"
#include "state/features.h"

namespace vz::font {

namespace {

constexpr double MIN_SCALE = 0.001;
constexpr double MAX_SCALE = 10.0;
constexpr double SCALE_MATCH = 0.01;
constexpr float DEFAULT_KERN_THRESHOLD = 0.75f;
constexpr int32_t LATIN1_GLYPHS = 256;
// Settings that are integers in pixels are refused beyond this.
constexpr int32_t MAX_PIXEL_SETTING = 1000;

int32_t dataWidthOf(const VozerBitmap& b) { return b.dataWidth > 0 ? b.dataWidth : b.width; }

const char* setting(const vudozar::Array* settings, const char* row, const char* column) {
    return vudozar::GetNodeValue(settings, row, column);
}

// An integer setting; `fallback` when absent. False (with the reason filled)
// when present but not a number within +-MAX_PIXEL_SETTING.
bool intSetting(const vudozar::Array* settings, const char* row, int32_t fallback, int32_t& out, std::string& reason) {
    const char* text = setting(settings, row, "value");
    out = fallback;
    if (!text) return true;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || std::labs(value) > MAX_PIXEL_SETTING) {
        reason = std::string("Setting '") + row + "' has the bad value '" + text + "'.";
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

// Every glyph image cut from a bitmap: the transparent fill keeps bilinear
// filtering from pulling dark fringes into edges; faint pixels then become
// fully clear. (Rendered outlines come out of their copy finished.)
void finishGlyphImages(VozerFont* font) {
    for (int32_t i = 0; i < font->glyphCount; ++i) {
        VozerBitmap& b = font->glyphs[i].bitmap;
        if (!b.pixels || b.width <= 0 || b.height <= 0) continue;
        const int32_t stride = dataWidthOf(b);
        const size_t count = static_cast<size_t>(stride) * static_cast<size_t>(b.dataHeight > 0 ? b.dataHeight : b.height);
        // Rendered outlines are one colour throughout (white): the fill
        // would give every clear pixel the colour it already has.
        bool oneColour = true;
        for (size_t p = 1; p < count && oneColour; ++p) oneColour = ((b.pixels[p] ^ b.pixels[0]) & 0x00FFFFFFu) == 0;
        if (!oneColour) image::fillTransparentColours(&b);
        for (size_t p = 0; p < count; ++p)
            if ((b.pixels[p] >> 24) <= FAINT_ALPHA) b.pixels[p] &= 0x00FFFFFFu;
    }
}

void disableAutoKern(VozerFont* font, const vudozar::Array* glyphRows) {
    for (int r = 0; r < vudozar::GetNodeCount(glyphRows); ++r) {
        const vudozar::Node* row = vudozar::GetNodeAt(glyphRows, r);
        const char* tags = vudozar::GetValue(row, "tags");
        const char* id = vudozar::GetValue(row, "id");
        if (!tags || !id || !listHasToken(tags, "DISABLE_AUTOKERN")) continue;
        const int32_t i = std::atoi(id);
        if (i < 0 || i >= font->glyphCount) continue;
        for (int32_t g = 0; g < font->glyphCount; ++g)
            if (font->glyphs[g].kerning) font->glyphs[g].kerning[i] = 0;
        if (font->glyphs[i].kerning) std::memset(font->glyphs[i].kerning, 0, static_cast<size_t>(font->glyphCount));
    }
}

bool generateFromTTF(VozerFont* font, const vudozar::Database* db, const vudozar::Array* settings, double scale,
                     GlyphInk* ink, std::string& reason) {
    VozerEngineApi* a = api();
    const char* ttf = setting(settings, "INPUT", "ttf");
    VozerFile* probe = a->OpenFile(ttf, "rb");
    if (!probe) {
        a->Popup(1, "Unable to find font source file %s\n", ttf);
        reason = std::string("Unable to find font source file ") + ttf;
        return false;
    }
    a->CloseFile(probe);
    const char* sizeText = setting(settings, "INPUT", "size_px");
    char* end = nullptr;
    const double sizePx = sizeText ? std::strtod(sizeText, &end) : 0.0;
    if (!sizeText || end == sizeText || !(sizePx > 0.0) || sizePx > MAX_PIXEL_SETTING) {
        reason = std::string("Setting 'INPUT' has no usable size_px ('") + (sizeText ? sizeText : "") + "').";
        return false;
    }
    std::vector<int32_t> codes;
    if (!collectGlyphCodes(vudozar::FindArray(db, "additional_utf_characters"), setting(settings, "INPUT", "strings"),
                           codes)) {
        reason = "The language strings file is missing.";
        return false;
    }
    if (!resetGlyphTable(font, static_cast<int32_t>(codes.size()))) {
        reason = "Out of memory for the glyph table.";
        return false;
    }
    for (size_t i = 0; i < codes.size(); ++i) font->glyphs[i].code = codes[i];
    font->utf8 = 1;
    font->codesAscending = true;
    const auto pixels = static_cast<int32_t>(sizePx * scale);
    if (!ZTI_CreateFontGlyphBitmapsFromTTF(font, ttf, pixels, setting(settings, "INPUT", "style"), ink)) {
        reason = std::string("The outline font '") + ttf + "' could not be rendered.";
        return false;
    }
    return true;
}

bool generateFromBitmap(VozerFont* font, const vudozar::Database* db, const vudozar::Array* settings, double scale,
                        int32_t spacing, std::string& reason) {
    VozerEngineApi* a = api();
    double inputScale = 1.0;
    const std::string row = SelectBitmapInput(settings, scale, &inputScale);
    double adjusted = scale / inputScale;
    if (std::fabs(adjusted - 1.0) < SCALE_MATCH) adjusted = 1.0;
    a->Print("Adjusted scale with %s is %g.\n", row.c_str(), adjusted);
    const char* path = setting(settings, row.c_str(), "bitmap");
    if (!path) {
        // The row serving this scale names no bitmap (another INPUT row does).
        reason = "Array 'settings' is missing or has bad parms - see specifications.";
        return false;
    }
    VozerBitmap image{};
    if (!image::loadImage(&image, path) || !image.pixels) {
        a->Popup(1, "Unable to open image file '%s'. Make sure the file '%s' exist.\n", path, path);
        image::freeImagePixels(&image);
        reason = std::string("Unable to open image file '") + path + "'.";
        return false;
    }
    if (std::fabs(adjusted - 1.0) >= 1e-6) {
        VozerBitmap resized{};
        const auto w = static_cast<int32_t>(image.width * adjusted);
        const auto h = static_cast<int32_t>(image.height * adjusted);
        if (w <= 0 || h <= 0 || !image::createImageResized(&resized, &image, w, h)) {
            image::freeImagePixels(&image);
            image::freeImagePixels(&resized);
            reason = "The glyph bitmap could not be resized.";
            return false;
        }
        image::freeImagePixels(&image);
        image = resized;
    }
    const vudozar::Array* glyphRows = vudozar::FindArray(db, "glyphs");
    bool ok = resetGlyphTable(font, LATIN1_GLYPHS) && glyphRows;
    ok = ok && parseBitmapGlyphs(font, &image, glyphRows, spacing);
    image::freeImagePixels(&image);
    if (!ok) {
        reason = "Array 'glyphs' is missing or has bad parms - see specifications.";
        return false;
    }
    finishGlyphImages(font);
    font->utf8 = 0;
    return true;
}

}  // namespace

double parseScaleText(const char* text, double fallback) {
    if (!text) return fallback;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text) return fallback;
    if (*end == '/') {
        const char* denominatorText = end + 1;
        const double denominator = std::strtod(denominatorText, &end);
        if (end == denominatorText || denominator == 0.0) return fallback;
        value /= denominator;
    }
    if (*end == 'x' || *end == 'X') ++end;
    if (*end || !std::isfinite(value)) return fallback;
    return value;
}

std::string SelectBitmapInput(const vudozar::Array* settings, double scale, double* inputScale) {
    std::string chosen;
    double chosenScale = 0.0;
    for (int i = 0; i < vudozar::GetNodeCount(settings); ++i) {
        const vudozar::Node* row = vudozar::GetNodeAt(settings, i);
        if (!row->id || std::strncmp(row->id, "INPUT", 5) != 0) continue;
        double rowScale = 1.0;
        if (row->id[5] == '@')
            rowScale = parseScaleText(row->id + 6, 0.0);
        else if (row->id[5])
            continue;
        if (!(rowScale > 0.0)) continue;
        if (std::fabs(rowScale - scale) < SCALE_MATCH) {
            chosen = row->id;
            chosenScale = rowScale;
            break;
        }
        if (chosen.empty() || (chosenScale < scale && rowScale > chosenScale)) {
            chosen = row->id;
            chosenScale = rowScale;
        }
    }
    if (chosen.empty()) chosen = "INPUT", chosenScale = 1.0;
    api()->Print("Selecting bitmap input '%s' for scale %.2fx (closest match).\n", chosen.c_str(), scale);
    if (inputScale) *inputScale = chosenScale;
    return chosen;
}

bool parseBitmapGlyphs(VozerFont* font, VozerBitmap* image, const vudozar::Array* glyphRows, int32_t fontSpacing) {
    VozerEngineApi* a = api();
    const char* name = font && font->name ? font->name : "unknown";
    if (!font || !image || !image->pixels || image->width <= 0 || image->height <= 0) {
        a->Popup(1, "No pixels found in font '%s' input bitmap.\n", name);
        return false;
    }
    const int32_t width = image->width, height = image->height, stride = dataWidthOf(*image);
    image::fillTransparentColours(image);
    auto ink = [&](int32_t x, int32_t y) {
        return (image->pixels[static_cast<size_t>(y) * stride + x] >> 24) != 0;
    };
    std::vector<uint8_t> columnInk(static_cast<size_t>(width), 0);
    int32_t top = -1, bottom = -1;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (ink(x, y)) {
                columnInk[static_cast<size_t>(x)] = 1;
                if (top < 0) top = y;
                bottom = y;
            }
    if (top < 0) {
        a->Popup(1, "No pixels found in font '%s' input bitmap.\n", name);
        return false;
    }
    auto skipEmpty = [&](int32_t x) {
        while (x < width && !columnInk[static_cast<size_t>(x)]) ++x;
        return x;
    };
    auto skipInk = [&](int32_t x) {
        while (x < width && columnInk[static_cast<size_t>(x)]) ++x;
        return x;
    };
    const int rows = vudozar::GetNodeCount(glyphRows);
    int32_t cursor = 0;
    for (int r = 0; r < rows; ++r) {
        const vudozar::Node* row = vudozar::GetNodeAt(glyphRows, r);
        const char* idText = vudozar::GetValue(row, "id");
        if (!idText) {
            a->Popup(1, "No id defined for glyph #%d in font '%s'\n", r, name);
            continue;
        }
        const int32_t id = std::atoi(idText);
        if (id < 32 || id > 255 || id >= font->glyphCount) {
            a->Popup(1, "Font '%s' Glyph #%d index %d is out of bounds\n", name, r, id);
            continue;
        }
        const char* spacingText = vudozar::GetValue(row, "spacing");
        const char* spanText = vudozar::GetValue(row, "span");
        const int32_t spacing = std::clamp(spacingText ? std::atoi(spacingText) : 0, -MAX_PIXEL_SETTING, MAX_PIXEL_SETTING);
        const int32_t span = std::clamp(spanText ? std::atoi(spanText) : 1, 0, width);
        FontGlyph& g = font->glyphs[id];
        std::free(g.bitmap.pixels);
        g.bitmap = VozerBitmap{};
        g.xOffset = 0;
        if (span == 0) {
            g.advance = static_cast<int16_t>(spacing + fontSpacing);
            continue;
        }
        // No ink left to the right: the bitmap has fewer glyphs than rows.
        const int32_t x0 = skipEmpty(cursor);
        if (x0 >= width) {
            a->Popup(1, "Input bitmap for '%s' contains %d glyphs LESS than the XML definition file!\n", name, rows - r);
            return false;
        }
        int32_t x1 = x0;
        for (int32_t s = 0; s < span; ++s) x1 = skipInk(skipEmpty(x1));
        cursor = x1;
        int32_t y0 = -1, y1 = -1;
        for (int32_t y = top; y <= bottom; ++y)
            for (int32_t x = x0; x < x1; ++x)
                if (ink(x, y)) {
                    if (y0 < 0) y0 = y;
                    y1 = y + 1;
                    break;
                }
        if (y1 <= y0) {
            a->Popup(1,
                     "Sanity check failed for glyph (%d/%d): glyph_end_y <= glyph_start_y (%d <= %d). X0=%d X1=%d. "
                     "Hint: check the (\") character on different inputs.\n",
                     r, id, y1, y0, x0, x1);
            return false;
        }
        const int32_t w = x1 - x0, h = y1 - y0;
        auto* pixels = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(w) * h));
        if (!pixels) return false;
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(pixels + static_cast<size_t>(y) * w, image->pixels + static_cast<size_t>(y0 + y) * stride + x0,
                        sizeof(uint32_t) * static_cast<size_t>(w));
        g.bitmap.pixels = pixels;
        g.bitmap.width = g.bitmap.dataWidth = w;
        g.bitmap.height = g.bitmap.dataHeight = h;
        g.bitmap.flags = VZ_BITMAP_HAS_ALPHA;
        g.yOffset = static_cast<int16_t>(y0 - top);
        g.advance = static_cast<int16_t>(w + spacing + fontSpacing);
    }
    int32_t unused = 0;
    for (int32_t x = skipEmpty(cursor); x < width; x = skipEmpty(skipInk(x))) ++unused;
    if (unused)
        a->Popup(1,
                 "Input bitmap for '%s' has %d unused pixel blocks - all glyphs may not have been read properly! "
                 "Hint: check the (\") character on different inputs.\n",
                 name, unused);
    return true;
}

bool ZTI_GenerateFontFromSource(VozerFont* font, double requestedScale) {
    return generateFontFromSource(font, requestedScale, GenerateOptions{});
}

bool generateFontFromSource(VozerFont* font, double requestedScale, const GenerateOptions& options) {
    if (!font || !font->name) return false;
    const std::string path = std::string(font->name) + ".xml";
    api()->Print("Attempting to generate font from source '%s'\n", path.c_str());
    return generateFontFromDatabase(font, vudozar::GetDatabase(path.c_str()), path.c_str(), requestedScale, options);
}

bool generateFontFromDatabase(VozerFont* font, const vudozar::Database* db, const char* sourcePath,
                              double requestedScale, const GenerateOptions& options) {
    VozerEngineApi* a = api();
    if (!font) return false;
    const std::string path = sourcePath ? sourcePath : "unknown";
    const char* name = font->name ? font->name : path.c_str();
    std::string reason;
    auto fail = [&]() {
        a->Popup(1, "Failed to generate font from source '%s': %s\n", path.c_str(), reason.c_str());
        resetGlyphTable(font, DEFAULT_GLYPH_COUNT);
        return false;
    };
    if (vudozar::GetArrayCount(db) == 0) {
        reason = "Database not found or doesn't contain any arrays.";
        return fail();
    }
    const vudozar::Array* settings = vudozar::FindArray(db, "settings");
    const bool ttfInput = setting(settings, "INPUT", "ttf") != nullptr;
    bool bitmapInput = false;
    for (int i = 0; i < vudozar::GetNodeCount(settings) && !bitmapInput; ++i) {
        const vudozar::Node* row = vudozar::GetNodeAt(settings, i);
        bitmapInput = row->id && std::strncmp(row->id, "INPUT", 5) == 0 && vudozar::GetValue(row, "bitmap");
    }
    if (!settings || (!ttfInput && !bitmapInput)) {
        reason = "Array 'settings' is missing or has bad parms - see specifications.";
        return fail();
    }
    double scale = parseScaleText(setting(settings, "OUTPUT", "scale"), 1.0) * requestedScale;
    if (!(scale >= MIN_SCALE && scale <= MAX_SCALE)) {
        a->Popup(1, "ZTI_GenerateFontFromSource: scale factor %g for font %s is invalid. Use values > 0 and < 10.\n",
                 scale, name);
        scale = 1.0;
    }
    int32_t spacing = 0, linePadding = 0;
    if (!intSetting(settings, "SPACING", 0, spacing, reason) ||
        !intSetting(settings, "LINE_PADDING_OFFSET", 0, linePadding, reason))
        return fail();
    float threshold = DEFAULT_KERN_THRESHOLD;
    if (const char* text = setting(settings, "AUTO_KERN_THRESHOLD", "value")) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        if (end == text || !(value >= 0.0 && value <= 1.0)) {
            reason = std::string("Setting 'AUTO_KERN_THRESHOLD' has the bad value '") + text + "'.";
            return fail();
        }
        threshold = static_cast<float>(value);
    }

    // Outline glyphs to be kerned have their ink measured as they are made.
    GlyphInk ink;
    ink.minAlpha = inkAlpha(threshold);
    const bool made = ttfInput ? generateFromTTF(font, db, settings, scale, options.kernUtf8 ? &ink : nullptr, reason)
                               : generateFromBitmap(font, db, settings, scale, spacing, reason);
    if (!made) return fail();
    if (font->utf8)
        for (int32_t i = 0; i < font->glyphCount; ++i)
            font->glyphs[i].advance = static_cast<int16_t>(font->glyphs[i].advance + spacing);
    // UTF-8 fonts stand on their advances alone unless the compiler asks.
    if (!font->utf8 || options.kernUtf8) determineKernPairs(font, 0, threshold, ttfInput ? &ink : nullptr);
    for (int32_t i = 0; i < font->glyphCount; ++i) font->height = std::max(font->height, font->glyphs[i].bitmap.height);
    if (!font->utf8) disableAutoKern(font, vudozar::FindArray(db, "glyphs"));
    font->lineHeight = font->height + linePadding;
    font->baseline = font->height - 2;
    return true;
}

}  // namespace vz::font
