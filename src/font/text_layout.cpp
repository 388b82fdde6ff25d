#include "font/text_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "api/engine_api.h"
#include "font/text_decode.h"

namespace vz::font {

namespace {

constexpr int32_t IDEOGRAPHIC_FULL_STOP = 0x3002;
constexpr int32_t FULLWIDTH_COMMA = 0xFF0C;
constexpr float DEGREES_TO_RADIANS = 3.14159265358979f / 180.0f;
// The scale section: "|scale=" is skipped, then at most this many characters
// before the closing bar are the number.
constexpr size_t SCALE_SECTION_PREFIX = 7;
constexpr size_t SCALE_NUMBER_CHARS = 15;

// Characters already reported missing, per font: text drawn every frame
// would otherwise raise the same report sixty times a second.
struct MissingReports {
    std::mutex lock;
    std::set<std::pair<const VozerFont*, int32_t>> seen;
};
MissingReports& missingReports() {
    static MissingReports* reports = new MissingReports;  // used until the process ends
    return *reports;
}

void reportMissing(const VozerFont* font, int32_t code) {
    {
        MissingReports& r = missingReports();
        std::lock_guard<std::mutex> guard(r.lock);
        if (!r.seen.insert({font, code}).second) return;
    }
    // The character itself, as UTF-8, unless it is a control character or
    // no character at all: a stand-in such as '?' would read as if it were
    // drawn in its place.
    char shown[5] = {};
    const auto c = static_cast<uint32_t>(code);
    if (c >= 0x20 && c < 0x7F) {
        shown[0] = static_cast<char>(c);
    } else if (c >= 0xA0 && c < 0x800) {
        shown[0] = static_cast<char>(0xC0 | (c >> 6));
        shown[1] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0x800 && c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
        shown[0] = static_cast<char>(0xE0 | (c >> 12));
        shown[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        shown[2] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0x10000 && c < 0x110000) {
        shown[0] = static_cast<char>(0xF0 | (c >> 18));
        shown[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        shown[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        shown[3] = static_cast<char>(0x80 | (c & 0x3F));
    }
    api()->Popup(1, "Font '%s' Missing unicode %d (0x%x) ('%s'): left out, nothing is drawn for it.\n",
                 font->name ? font->name : "", code, code, shown);
}

bool neverStartsLine(int32_t code) {
    return code == '.' || code == ',' || code == IDEOGRAPHIC_FULL_STOP || code == FULLWIDTH_COMMA;
}

float kerningOf(const VozerFont* font, int32_t glyph, int32_t previous) {
    if (glyph < 0 || previous < 0) return 0.0f;
    const int8_t* row = font->glyphs[glyph].kerning;
    return row ? static_cast<float>(row[previous]) : 0.0f;
}

// The value after `key` inside [from, end), ending at the next space.
bool valueAfter(const char* from, const char* end, const char* key, std::string& out) {
    const size_t keyLength = std::strlen(key);
    for (const char* p = from; p + keyLength <= end; ++p) {
        if (std::strncmp(p, key, keyLength) != 0) continue;
        const char* v = p + keyLength;
        const char* stop = v;
        while (stop < end && *stop != ' ') ++stop;
        out.assign(v, stop);
        return true;
    }
    return false;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One markup section [start, end) (the bars excluded) as an item, or none.
bool sectionItem(const VozerFont* font, const char* start, const char* end, LayoutItem& item) {
    item = LayoutItem{};
    item.glyph = -1;
    const size_t length = static_cast<size_t>(end - start);
    if (length == 0) return false;
    if (start[0] == 'i') {
        const char* open = static_cast<const char*>(std::memchr(start, '\'', length));
        const char* close = open ? static_cast<const char*>(std::memchr(open + 1, '\'', static_cast<size_t>(end - open - 1)))
                                 : nullptr;
        if (!close) return false;
        const std::string name(open + 1, close);
        std::string value;
        item.kind = LayoutItem::Image;
        item.scale = valueAfter(start, end, "scale=", value) ? std::strtof(value.c_str(), nullptr) : 1.0f;
        item.angle = valueAfter(start, end, "angle=", value)
                         ? std::strtof(value.c_str(), nullptr) * DEGREES_TO_RADIANS
                         : 0.0f;
        item.offset = valueAfter(start, end, "offset=", value) ? static_cast<float>(std::atoi(value.c_str())) : 0.0f;
        if (!std::isfinite(item.scale)) item.scale = 1.0f;
        if (!std::isfinite(item.angle)) item.angle = 0.0f;
        item.image = api()->GetBitmap ? api()->GetBitmap(name.c_str()) : nullptr;
        const float fontScale = font->scale > 0.0f ? font->scale : 1.0f;
        item.advance = item.image ? static_cast<float>(item.image->width) * item.scale / fontScale : 0.0f;
        return true;
    }
    if (start[0] == '#' && length == 7) {
        uint32_t colour = 0;
        for (size_t i = 1; i < 7; ++i) {
            const int d = hexDigit(start[i]);
            if (d < 0) return false;
            colour = colour * 16 + static_cast<uint32_t>(d);
        }
        item.kind = LayoutItem::Colour;
        item.colour = colour;
        return true;
    }
    if ((start[0] == 's' || start[0] == 'S') && !font->utf8 && length + 1 > SCALE_SECTION_PREFIX) {
        char number[SCALE_NUMBER_CHARS + 1] = {};
        const size_t n = std::min(SCALE_NUMBER_CHARS, length + 1 - SCALE_SECTION_PREFIX);
        std::memcpy(number, start + SCALE_SECTION_PREFIX - 1, n);
        const float factor = std::strtof(number, nullptr);
        if (!(factor > 0.0f) || !std::isfinite(factor)) return false;
        item.kind = LayoutItem::WidthScale;
        item.scale = factor;
        return true;
    }
    return false;
}

}  // namespace

int32_t FindGlyph(const VozerFont* font, int32_t code) {
    if (!font || !font->glyphs || font->glyphCount <= 0) return -1;
    if (!font->utf8) return code >= 0 && code < font->glyphCount ? code : -1;
    if (font->codesAscending) {
        // Runs of consecutive codes (printable ASCII in every generated
        // font) are found by their distance from the first code.
        const int64_t guess = static_cast<int64_t>(code) - font->glyphs[0].code;
        if (guess >= 0 && guess < font->glyphCount && font->glyphs[guess].code == code)
            return static_cast<int32_t>(guess);
        const FontGlyph* first = font->glyphs;
        const FontGlyph* last = font->glyphs + font->glyphCount;
        const FontGlyph* at = std::lower_bound(first, last, code,
                                               [](const FontGlyph& g, int32_t c) { return g.code < c; });
        return at != last && at->code == code ? static_cast<int32_t>(at - first) : -1;
    }
    for (int32_t i = 0; i < font->glyphCount; ++i)
        if (font->glyphs[i].code == code) return i;
    return -1;
}

void buildItems(const VozerFont* font, const char* text, std::vector<LayoutItem>& items) {
    items.clear();
    if (!font || !font->glyphs || !text) return;
    items.reserve(std::strlen(text));
    const int32_t spaceGlyph = FindGlyph(font, ' ');
    int32_t previous = -1;  // glyph the next one kerns against
    auto addCharacter = [&](int32_t code) {
        LayoutItem item{};
        item.code = code;
        item.glyph = -1;
        if (code == '\n') {
            item.kind = LayoutItem::LineBreak;
            items.push_back(item);
            previous = -1;
            return;
        }
        if (code == ' ') {
            item.kind = LayoutItem::Space;
            item.glyph = spaceGlyph;
            if (spaceGlyph < 0) reportMissing(font, ' ');
            item.advance = spaceGlyph >= 0 ? font->glyphs[spaceGlyph].advance : FALLBACK_SPACE_ADVANCE;
        } else if (code == '\r') {
            // Carriage returns of CR LF text take no room and go unreported,
            // but end a word as they do in measuring.
            item.kind = LayoutItem::WordEnd;
            items.push_back(item);
            return;
        } else {
            // Every other character, a tab too, is the font's glyph or nothing.
            item.kind = LayoutItem::Glyph;
            item.glyph = FindGlyph(font, code);
            if (item.glyph < 0) {
                reportMissing(font, code);
                if (code == '\t') {
                    item.kind = LayoutItem::WordEnd;
                    items.push_back(item);
                }
                return;
            }
            item.advance = font->glyphs[item.glyph].advance;
        }
        item.kern = kerningOf(font, item.glyph, previous);
        previous = item.glyph;
        items.push_back(item);
    };
    const char* p = text;
    while (*p) {
        if (*p == '|') {
            if (p[1] == '|') {
                addCharacter('|');
                p += 2;
                continue;
            }
            const char* start = p + 1;
            const char* end = std::strchr(start, '|');
            if (!end) end = start + std::strlen(start);  // an open section runs to the end
            LayoutItem item;
            if (sectionItem(font, start, end, item)) {
                items.push_back(item);
                if (item.kind == LayoutItem::Image) previous = -1;
            }
            p = *end ? end + 1 : end;
            continue;
        }
        addCharacter(font->utf8 ? decodeNextUtf8(p) : static_cast<uint8_t>(*p++));
    }
}

float WordWidth(const VozerFont* font, const std::vector<LayoutItem>& items, int32_t start) {
    float width = 0.0f;
    bool first = true;
    for (size_t i = static_cast<size_t>(start); i < items.size(); ++i) {
        const LayoutItem& item = items[i];
        if (item.kind == LayoutItem::Space || item.kind == LayoutItem::LineBreak || item.kind == LayoutItem::WordEnd ||
            item.code == '\t')
            break;
        if (item.kind == LayoutItem::Glyph || item.kind == LayoutItem::Image) {
            width += item.advance + (first ? 0.0f : item.kern);
            first = false;
            if (font->utf8 && item.kind == LayoutItem::Glyph && item.code > 255) break;
        }
    }
    return width;
}

void WrapText(const VozerFont* font, float maxWidth, const std::vector<LayoutItem>& items,
              std::vector<LayoutLine>& lines, int32_t maxLines) {
    lines.clear();
    if (maxLines <= 0) return;
    float w = 0.0f;
    int32_t lineStart = 0;
    bool lineEmpty = true;  // nothing with a width on the line yet
    auto endLine = [&](int32_t end, int32_t nextStart) {
        lines.push_back({lineStart, end, w});
        lineStart = nextStart;
        w = 0.0f;
        lineEmpty = true;
        return static_cast<int32_t>(lines.size()) < maxLines;
    };
    const auto count = static_cast<int32_t>(items.size());
    for (int32_t i = 0; i < count; ++i) {
        const LayoutItem& item = items[static_cast<size_t>(i)];
        const float kern = lineEmpty ? 0.0f : item.kern;
        switch (item.kind) {
        case LayoutItem::Space:
            if (WordWidth(font, items, i + 1) + item.advance + w >= maxWidth) {
                // A space right after the break is skipped too: the next
                // line starts with its word, not with an empty line.
                const bool skip = i + 1 < count && items[static_cast<size_t>(i + 1)].kind == LayoutItem::Space;
                if (!endLine(i, i + 1 + (skip ? 1 : 0))) return;
                i += skip ? 1 : 0;
            } else {
                w += item.advance + kern;
                lineEmpty = false;
            }
            break;
        case LayoutItem::LineBreak:
            if (!endLine(i, i + 1)) return;
            break;
        case LayoutItem::Glyph:
        case LayoutItem::Image:
            // A line always takes its first character, so a character wider
            // than the whole line still moves the text on.
            if (lineEmpty || w + item.advance + kern < maxWidth ||
                (item.kind == LayoutItem::Glyph && neverStartsLine(item.code))) {
                w += item.advance + kern;
            } else {
                if (!endLine(i, i)) return;
                w = item.advance;
            }
            lineEmpty = false;
            break;
        case LayoutItem::WidthScale:
            maxWidth /= item.scale;
            break;
        case LayoutItem::Colour:
        case LayoutItem::WordEnd:
            break;
        }
    }
    lines.push_back({lineStart, count, w});
}

void layoutText(const VozerFont* font, const char* text, float maxWidth, Layout& layout) {
    buildItems(font, text, layout.items);
    WrapText(font, maxWidth, layout.items, layout.lines, font && font->utf8 ? MAX_UTF8_LINES : MAX_LINES);
    layout.widest = 0.0f;
    for (const LayoutLine& line : layout.lines) layout.widest = std::max(layout.widest, line.width);
}

}  // namespace vz::font
