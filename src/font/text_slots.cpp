// The text entries of the engine API: settings (alignment, wrap width, scale
// and rotation), measuring, and drawing one textured quad per glyph through
// the engine's bitmap drawing.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "api/engine_api.h"
#include "api/lock_object.h"
#include "font/text_layout.h"
#include "font/text_slots.h"
#include "state/runtime_state.h"

namespace vz::font {

namespace {

constexpr size_t FORMAT_BUFFER = 2048;
constexpr float NO_WRAP_WIDTH = 64000.0f;
constexpr float UNSCALED_TOLERANCE = 0.0001f;

constexpr int32_t ALIGN_RIGHT = VZ_ALIGN_RIGHT;
constexpr int32_t ALIGN_BOTTOM = VZ_ALIGN_BOTTOM;
constexpr int32_t ALIGN_MIDDLE = VZ_ALIGN_MIDDLE;
constexpr int32_t ALIGN_CENTRE = VZ_ALIGN_CENTER;

struct TextSettings {
    float wrapWidth = NO_WRAP_WIDTH;
    int32_t align = 0;
    float scaleX = 1.0f, scaleY = 1.0f, angle = 0.0f;
};

// The main thread sets them while drawing; workers measure with them.
struct TextState {
    std::mutex lock;
    TextSettings settings;
};

TextState& textState() {
    static TextState s;
    return s;
}

TextSettings currentSettings() {
    TextState& s = textState();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.settings;
}

template <class Change>
void changeSettings(Change change) {
    TextState& s = textState();
    std::lock_guard<std::mutex> guard(s.lock);
    change(s.settings);
}

// A font's glyphs are rebuilt by RecreateFontAtlas on any thread: measuring
// and drawing hold the font's record lock.
class FontLock {
public:
    explicit FontLock(VozerFont* font) : lock_(font ? font->lock : nullptr) { lockObject(lock_); }
    ~FontLock() { unlockObject(lock_); }
    FontLock(const FontLock&) = delete;
    FontLock& operator=(const FontLock&) = delete;

private:
    VozerMutex* lock_;
};

// Layout buffers reused by each thread's calls.
Layout& scratch() {
    thread_local Layout layout;
    return layout;
}

bool usable(const VozerFont* font) { return font && font->glyphs && font->glyphCount > 0; }
float fontScale(const VozerFont* font) { return font->scale > 0.0f ? font->scale : 1.0f; }

// The size of `text` with the current settings, stored as the last measured size.
void measure(VozerFont* font, const char* text, float& width, float& height) {
    const TextSettings ts = currentSettings();
    FontLock fontLock(font);
    width = height = 0.0f;
    if (usable(font) && text && *text) {
        const float s = fontScale(font);
        Layout& layout = scratch();
        layoutText(font, text, std::trunc(ts.wrapWidth / s), layout);
        const auto lines = static_cast<float>(layout.lines.size());
        const float lineAdvance = static_cast<float>(font->lineHeight) / s;
        const float tallest = static_cast<float>(std::max(font->height, font->lineHeight)) / s;
        width = ts.scaleX * s * layout.widest;
        height = ((lines - 1.0f) * lineAdvance + tallest) * s * ts.scaleY;
    }
}

void setColourWord(uint32_t rgb) {
    api()->SetColor(static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                    static_cast<float>(rgb & 0xFF) / 255.0f);
}

}  // namespace

float drawTextPlain(VozerFont* font, float x, float y, const char* text) {
    if (!font || !text) return 0.0f;
    FontLock fontLock(font);
    if (!usable(font)) return 0.0f;
    VozerEngineApi* a = api();
    const TextSettings ts = currentSettings();
    const float s = fontScale(font);
    const float sx = ts.scaleX * s, sy = ts.scaleY * s;
    Layout& layout = scratch();
    layoutText(font, text, std::trunc(ts.wrapWidth / (ts.scaleX * s)), layout);
    const auto lineCount = static_cast<float>(layout.lines.size());
    const float lineAdvance = static_cast<float>(font->lineHeight) / s;

    // Everything below is placed in the font's own pixels from the text
    // origin; scale and rotation map those onto the screen at the end.
    y += (static_cast<float>(font->baseline) - static_cast<float>(font->height) / s) * ts.scaleY;
    float top = 0.0f;
    if (ts.align & ALIGN_BOTTOM)
        top = -lineCount * lineAdvance;
    else if (ts.align & ALIGN_MIDDLE)
        top = -std::trunc(lineCount * lineAdvance * 0.5f);

    const bool unscaled = ts.angle == 0.0f && std::fabs(sx - 1.0f) < UNSCALED_TOLERANCE &&
                          std::fabs(sy - 1.0f) < UNSCALED_TOLERANCE;
    // Colour markup tints this text only: the caller's colour comes back.
    const DrawState& drawing = rt().drawing;
    const float red = drawing.red, green = drawing.green, blue = drawing.blue;
    bool recoloured = false;
    float originX = x, originY = y;
    if (!unscaled) {
        const float c = std::cos(ts.angle), sn = std::sin(ts.angle);
        const float matrix[16] = {c * sx, -sn * sy, 0.0f, x,    sn * sx, c * sy, 0.0f, y,
                                  0.0f,   0.0f,     1.0f, 0.0f, 0.0f,    0.0f,   0.0f, 1.0f};
        a->PushTransform(matrix);
        originX = originY = 0.0f;
    }
    for (size_t l = 0; l < layout.lines.size(); ++l) {
        const LayoutLine& line = layout.lines[l];
        float penX = 0.0f;
        if (ts.align & ALIGN_RIGHT)
            penX = -line.width;
        else if (ts.align & ALIGN_CENTRE)
            penX = -static_cast<float>(static_cast<int32_t>(line.width) / 2);
        const float penY = top + static_cast<float>(l) * lineAdvance;
        bool lineStart = true;
        for (int32_t i = line.first; i < line.end; ++i) {
            const LayoutItem& item = layout.items[static_cast<size_t>(i)];
            switch (item.kind) {
            case LayoutItem::Glyph:
            case LayoutItem::Space: {
                if (!lineStart) penX += item.kern;
                lineStart = false;
                if (item.glyph >= 0) {
                    FontGlyph& g = font->glyphs[item.glyph];
                    if (g.bitmap.width > 0 && g.bitmap.height > 0)
                        a->DrawBitmap(&g.bitmap, originX + penX + g.xOffset, originY + penY + g.yOffset);
                }
                penX += item.advance;
                break;
            }
            case LayoutItem::Image:
                lineStart = false;
                if (item.image) {
                    const float w = item.advance;
                    a->DrawBitmapEx(item.image, originX + penX + w * 0.5f,
                                    originY + penY + lineAdvance * 0.5f + item.offset, item.angle, item.scale / s);
                }
                penX += item.advance;
                break;
            case LayoutItem::Colour:
                setColourWord(item.colour);
                recoloured = true;
                break;
            case LayoutItem::LineBreak:
            case LayoutItem::WidthScale:
            case LayoutItem::WordEnd:
                break;
            }
        }
    }
    if (!unscaled) a->PopTransform();
    if (recoloured) a->SetColor(red, green, blue);
    return ts.scaleX * s * layout.widest;
}

void measureTextPlain(VozerFont* font, const char* text, float* width, float* height) {
    float w, h;
    measure(font, text, w, h);
    if (width) *width = w;
    if (height) *height = h;
}

void resetTextSettings() {
    changeSettings([](TextSettings& settings) { settings = TextSettings{}; });
}

}  // namespace vz::font

namespace vz::slots {

namespace {

// printf into the 2048-byte text buffer every formatted entry uses.
void formatText(char (&buffer)[2048], const char* format, va_list args) {
    buffer[0] = '\0';
    if (format) std::vsnprintf(buffer, sizeof buffer, format, args);
}

}  // namespace

void SetTextAlign(int32_t flags) {
    font::changeSettings([flags](font::TextSettings& settings) { settings.align = flags; });
}

void SetTextWrapWidth(float width) {
    const float wrap = width < 0.1f || !std::isfinite(width) ? font::NO_WRAP_WIDTH : width;
    font::changeSettings([wrap](font::TextSettings& settings) { settings.wrapWidth = wrap; });
}

void SetTextScale(float x, float y, float angle) {
    const float a = std::isfinite(angle) ? angle : 0.0f;
    font::changeSettings([x, y, a](font::TextSettings& settings) {
        settings.scaleX = x;
        settings.scaleY = y;
        settings.angle = a;
    });
}

float DrawText(VozerFont* font, float x, float y, const char* format, ...) {
    if (!font) return 0.0f;
    char text[font::FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);
    return font::drawTextPlain(font, x, y, text);
}

void GetTextSize(VozerFont* font, float* width, float* height, const char* format, ...) {
    char text[font::FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);
    font::measureTextPlain(font, text, width, height);
}

float GetTextWidth(VozerFont* font, const char* format, ...) {
    char text[font::FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);
    float width = 0.0f;
    font::measureTextPlain(font, text, &width, nullptr);
    return width;
}

float GetTextHeight(VozerFont* font, const char* format, ...) {
    char text[font::FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);
    float height = 0.0f;
    font::measureTextPlain(font, text, nullptr, &height);
    return height;
}

}  // namespace vz::slots
