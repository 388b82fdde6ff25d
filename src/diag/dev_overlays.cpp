// The developer overlays of the frame. Keys are read from the key table
// without consuming the Program's "went down" bits; F4 and F5 act on the
// press, the others while the key is held.
#include "diag/dev_overlays.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "core/input.h"
#include "diag/console.h"
#include "diag/console_internal.h"
#include "ext/extensions.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "font/text_slots.h"
#include "resources/bitmap_pool.h"
#include "state/features.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz::diag {

namespace {

constexpr int32_t KEY_F1 = VZ_KEY_F1;
constexpr int32_t SAMPLE_EVERY = 30;      // overlay calls between memory samples
constexpr int32_t HISTORY = 128;          // samples kept per graph
constexpr int32_t FIRST_MEMORY_VALUE = 2001;
constexpr float MB = 1024.0f * 1024.0f;
constexpr float GRAPH_WIDTH = 256.0f;
constexpr float GRAPH_HEIGHT = 48.0f;

struct Series {
    float values[HISTORY] = {};
    int32_t next = 0;  // ring position of the next sample
    int32_t count = 0;
    float peak = 0.0f;
    void add(float v) {
        values[next] = v;
        next = (next + 1) % HISTORY;
        count = std::min(count + 1, HISTORY);
        peak = std::max(peak, v);
    }
    // Sample i, 0 the oldest kept.
    float at(int32_t i) const { return values[(next - count + i + HISTORY) % HISTORY]; }
};

struct Overlays {
    int32_t calls = 0;
    Series memory[3];      // GPU, GPU NPOT, total (bytes)
    Series frameMs;        // frame times
    bool f4Held = false;
    bool f5Held = false;
};

Overlays& overlays() {
    static Overlays o;
    return o;
}

bool held(int32_t key) { return (peekKeyState(key) & VZ_KEY_HELD) != 0; }

// True once per press of `key`.
bool pressed(int32_t key, bool& wasHeld) {
    const bool now = held(key);
    const bool edge = now && !wasHeld;
    wasHeld = now;
    return edge;
}

// The overlay font: the console's when it has one, else the first font slot.
VozerFont* overlayFont() {
    if (VozerFont* font = consoleFont()) return font;
    return font::firstFontSlot();
}

void text(VozerFont* font, float x, float y, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Texts here may hold names from the Program: no markup sections.
    std::string safe;
    for (const char* p = line; *p; ++p) {
        safe += *p;
        if (*p == '|') safe += '|';
    }
    font::drawTextPlain(font, x, y, safe.c_str());
}

float lineHeightOf(const VozerFont* font) { return font && font->lineHeight > 0 ? static_cast<float>(font->lineHeight) : 16.0f; }

void box(float x, float y, float w, float h, float alpha) {
    VozerEngineApi* a = api();
    a->SetColor(0.0f, 0.0f, 0.0f);
    a->SetAlpha(alpha);
    a->FillRect(x, y, w, h);
    a->SetAlpha(1.0f);
}

// Bars of a series scaled to `top`, oldest on the left.
void graph(const Series& s, float x, float y, float top) {
    VozerEngineApi* a = api();
    box(x, y, GRAPH_WIDTH, GRAPH_HEIGHT, 0.6f);
    if (top <= 0.0f) return;
    const float barWidth = GRAPH_WIDTH / HISTORY;
    for (int32_t i = 0; i < s.count; ++i) {
        const float h = std::min(1.0f, s.at(i) / top) * GRAPH_HEIGHT;
        if (h > 0.0f) a->FillRect(x + barWidth * static_cast<float>(i), y + GRAPH_HEIGHT - h, barWidth, h);
    }
}

// Every SAMPLE_EVERY calls the estimates are refreshed (engine values 2001
// to 2005, which the Program may read too) and three of them sampled.
void sampleMemory(Overlays& o) {
    if (o.calls++ % SAMPLE_EVERY != 0) return;
    // Without a usage report there is nothing to refresh; asking anyway would
    // write a warning to the log twice a second.
    if (!ext::serviceHooks().estimateMemoryUsage || !api()->CallExtension) return;
    api()->CallExtension("RefreshMemUsageEstimates", nullptr);
    for (int32_t i = 0; i < 3; ++i) o.memory[i].add(api()->GetAxis(FIRST_MEMORY_VALUE + i));
}

void setLimitColour(float megabytes) {
    const VozerProgramRecord* program = rt().shared.program;
    const bool wide = program && program->display.width > 500;
    const float green = wide ? 40.0f : 16.0f, yellow = wide ? 60.0f : 24.0f;
    if (megabytes <= green)
        api()->SetColor(0.0f, 1.0f, 0.0f);
    else if (megabytes <= yellow)
        api()->SetColor(1.0f, 1.0f, 0.0f);
    else
        api()->SetColor(1.0f, 0.0f, 0.0f);
}

void drawMemoryPanel(const Overlays& o, VozerFont* font) {
    static const char* const FORMATS[3] = {"GPU %.1f MB (peak %.1f MB)", "GPU NPOT %.1f MB (peak %.1f MB)",
                                           "Total mem %.1f MB (peak %.1f MB)"};
    const float h = lineHeightOf(font);
    float y = 80.0f;
    for (int32_t i = 0; i < 3; ++i) {
        const Series& s = o.memory[i];
        const float now = s.count ? s.at(s.count - 1) / MB : 0.0f;
        api()->SetColor(0.5f, 0.7f, 1.0f);
        graph(s, 10.0f, y, s.peak);
        setLimitColour(now);
        text(font, 14.0f, y + 2.0f, FORMATS[i], now, s.peak / MB);
        y += GRAPH_HEIGHT + h;
    }
}

void drawFrameGraph(const Overlays& o, VozerFont* font) {
    float highest = 0.0f;
    for (int32_t i = 0; i < o.frameMs.count; ++i) highest = std::max(highest, o.frameMs.at(i));
    const float x = 10.0f, y = 260.0f;
    api()->SetColor(1.0f, 0.6f, 0.2f);
    graph(o.frameMs, x, y, highest);
    api()->SetColor(1.0f, 1.0f, 1.0f);
    text(font, x + 4.0f, y + 2.0f, "High: %dms", static_cast<int32_t>(highest));
}

// Each bitmap in use is loaded again from its file (after an artist changed it).
void reloadBitmaps() {
    VozerEngineApi* a = api();
    if (!a->SetBitmapCacheMode) return;
    VozerBitmap* records = bitmapRecords();
    const int32_t count = bitmapHighWater();
    for (int32_t i = 0; i < count; ++i) {
        VozerBitmap* bitmap = &records[i];
        if (!bitmap->name || bitmap->refCount <= 0) continue;
        const int32_t mode = bitmap->cacheMode;
        a->SetBitmapCacheMode(bitmap, 0);
        a->SetBitmapCacheMode(bitmap, mode);
    }
}

const char* orientationName(int32_t orientation) {
    switch (orientation) {
    case 1: return "Portrait";
    case 2: return "Portrait upside down";
    case 4: return "Landscape left";
    case 8: return "Landscape right";
    default: return "Unknown";
    }
}

std::string extensionText(const char* name, const char* argument) {
    const char* answer = api()->CallExtension
                             ? static_cast<const char*>(api()->CallExtension(name, const_cast<char*>(argument)))
                             : nullptr;
    return answer ? answer : "";
}

std::string recordText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

void drawInformationPanel(VozerFont* font) {
    const RuntimeState& state = rt();
    const VozerDisplayInfo& info = state.displayInfo;
    const VozerProgramRecord* program = state.shared.program;
    const float h = lineHeightOf(font);
    std::vector<std::string> lines;
    char line[256];
    // A line as it stands, or formatted from the values after it.
    auto add = [&](const char* format, auto... args) {
        if constexpr (sizeof...(args) == 0) {
            lines.emplace_back(format);
        } else {
            std::snprintf(line, sizeof line, format, args...);
            lines.emplace_back(line);
        }
    };
    add("Device Info:");
    add("Screen: %dx%d", info.deviceWidth, info.deviceHeight);
    add("Desktop: %dx%d", info.desktopWidth, info.desktopHeight);
    add(info.deviceSizeKnown ? "Fixed resolution" : "Free resolution");
    add("Orientation: %s", orientationName(state.currentOrientation));
    add("Boot Settings:");
    add("Screen: %dx%d (%s)", state.requested.width, state.requested.height,
        state.requested.windowed ? "window" : "fullscreen");
    if (state.boot.autoscale) {
        add("Autoscaling");
        add("Scale X %.3f", static_cast<double>(state.autoscaleX));
        add("Scale Y %.3f", static_cast<double>(state.autoscaleY));
        add("Offset X %.3f", static_cast<double>(state.autoscaleOffsetX));
        add("Offset Y %.3f", static_cast<double>(state.autoscaleOffsetY));
    } else {
        add("Not autoscaling");
    }
    add("Program:");
    if (program) {
        add("Current size %dx%d", program->display.width, program->display.height);
        add("Ref size %dx%d", program->display.referenceWidth, program->display.referenceHeight);
    }
    add("Validated size %dx%d", state.rendererParams.width, state.rendererParams.height);
    if (program) {
        add("Title: %s", recordText(program->title, sizeof program->title).c_str());
        add("Version: %s", recordText(program->version, sizeof program->version).c_str());
    }
    add("System:");
    add("Transform Stack index %d", state.transformDepth);
    add("Native platform: %s", extensionText("PlatformInfo", "PlatformId").c_str());
    const std::string major = extensionText("PlatformInfo", "OSMajor");
    add("OS version: %s / %s", major.c_str(), extensionText("PlatformInfo", "OSMinor").c_str());

    float widest = 0.0f;
    for (const std::string& l : lines) {
        float w = 0.0f, unused = 0.0f;
        font::measureTextPlain(font, l.c_str(), &w, &unused);
        widest = std::max(widest, w);
    }
    float width = 0.0f, height = 0.0f;
    screenSize(width, height);
    const float x = width - widest - 20.0f, top = 10.0f;
    box(x - 6.0f, top - 4.0f, widest + 12.0f, h * static_cast<float>(lines.size()) + 8.0f, 0.7f);
    api()->SetColor(1.0f, 1.0f, 1.0f);
    float y = top;
    for (const std::string& l : lines) {
        text(font, x, y, "%s", l.c_str());
        y += h;
    }
}

}  // namespace

void drawDeveloperOverlays(float seconds) {
    RuntimeState& state = rt();
    Overlays& o = overlays();
    VozerEngineApi* a = api();
    const bool developer = state.boot.developerMode;
    const bool info = (developer && held(KEY_F1 + 5)) || hasFeature("SHOW_INFO");
    if (developer) {
        sampleMemory(o);
        o.frameMs.add(seconds * 1000.0f);
        if (pressed(KEY_F1 + 3, o.f4Held) && a->CallExtension) a->CallExtension("ListResourceUsage", nullptr);
        if (pressed(KEY_F1 + 4, o.f5Held)) reloadBitmaps();
    }
    const bool anyPanel = developer && (held(KEY_F1) || held(KEY_F1 + 1) || held(KEY_F1 + 2));
    if (anyPanel || info) {
        VozerFont* font = overlayFont();
        if (font) {
            a->SetBlendMode(0);
            a->SetTextAlign(0);
            a->SetTextScale(1.0f, 1.0f, 0.0f);
            a->SetColor(1.0f, 1.0f, 1.0f);
            a->SetAlpha(1.0f);
            if (developer && held(KEY_F1)) text(font, 100.0f, 50.0f, "%.0f", static_cast<double>(state.fps));
            if (developer && held(KEY_F1 + 1)) drawMemoryPanel(o, font);
            if (developer && held(KEY_F1 + 2)) drawFrameGraph(o, font);
            if (info) drawInformationPanel(font);
            a->SetColor(1.0f, 1.0f, 1.0f);
            a->SetAlpha(1.0f);
        }
    }
    DrawConsole();
}

void resetDeveloperOverlays() { overlays() = Overlays{}; }

}  // namespace vz::diag
