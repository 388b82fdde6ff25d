// Drawing the console: the sliding panel, the scroll bar, the input line with
// its caret, and the log lines that match the filter, newest at the bottom.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/input.h"
#include "diag/console.h"
#include "diag/console_internal.h"
#include "diag/log_internal.h"
#include "font/font_record.h"
#include "font/text_slots.h"
#include "state/runtime_state.h"
#include "vozer_keys.h"

namespace vz::diag {

namespace {

constexpr float HALF_PI = 1.57079632679f;
constexpr float HEIGHT_SHARE = 0.8f;       // of the screen
constexpr float DEFAULT_LINE_HEIGHT = 16.0f;
constexpr float SCROLL_GRIP_WIDTH = 58.0f;  // from the right edge
constexpr float TRACK_WIDTH = 8.0f;
constexpr float PREFIX_SCALE = 0.9f;
constexpr float TEXT_X = 10.0f;
constexpr float TIME_X = 60.0f;
constexpr float THREAD_X = 110.0f;
constexpr float TEXT_GAP = 10.0f;

struct Rgb {
    float r, g, b;
    const char* markup;  // the same colour as a layout section
};
constexpr Rgb WHITE{1.0f, 1.0f, 1.0f, "|#ffffff|"};
constexpr Rgb PANEL{0.2f, 0.3f, 0.5f, nullptr};
constexpr Rgb THUMB{0.5f, 0.6f, 0.9f, nullptr};

const Rgb& levelColour(int32_t level) {
    static const Rgb yellow{1.0f, 1.0f, 0.0f, "|#ffff00|"};
    static const Rgb red{1.0f, 0.0f, 0.0f, "|#ff0000|"};
    static const Rgb green{0.0f, 1.0f, 0.0f, "|#00ff00|"};
    switch (level) {
    case 1: return yellow;
    case 2: return red;
    case 3: return green;
    default: return WHITE;
    }
}

void fill(const Rgb& colour, float alpha, float x, float y, float w, float h) {
    VozerEngineApi* a = api();
    a->SetColor(colour.r, colour.g, colour.b);
    a->SetAlpha(alpha);
    a->FillRect(x, y, w, h);
}

}  // namespace

void screenSize(float& width, float& height) {
    const RuntimeState& state = rt();
    VozerDisplayParams params = state.rendererParams;
    if ((params.width <= 0 || params.height <= 0) && state.shared.program) params = state.shared.program->display;
    width = static_cast<float>(params.width);
    height = static_cast<float>(params.height);
}

namespace {

struct Frame {
    VozerFont* font;
    float s;         // eased slide
    float width;     // W
    float panel;     // height of the log panel
    float lineHeight;
    int32_t fit;     // log lines that fit above the input row
};

int32_t countMatches(const std::deque<LogLine>& lines, const std::string& filter) {
    if (filter.empty()) return static_cast<int32_t>(lines.size());
    int32_t n = 0;
    for (const LogLine& line : lines) n += lineMatches(line.text, filter) ? 1 : 0;
    return n;
}

// Dragging at the scroll bar: the pointer's height picks the offset, the top
// of the panel being the oldest line and the bottom the newest.
void followScrollDrag(ConsoleState& c, const Frame& f, int32_t matching) {
    if (!(peekKeyState(VZ_MOUSE_BUTTON_LEFT) & VZ_KEY_HELD) || f.panel <= 0.0f) return;
    float x = 0.0f, y = 0.0f;
    lastPointerPosition(x, y);
    if (x < f.width - SCROLL_GRIP_WIDTH || y < 0.0f || y > f.panel) return;
    const float share = 1.0f - y / f.panel;
    c.scroll = static_cast<int32_t>(std::lround(share * static_cast<float>(matching - f.fit)));
}

void drawPanels(const Frame& f, int32_t matching, int32_t scroll) {
    VozerEngineApi* a = api();
    fill(PANEL, 0.6f * f.s, 0.0f, 0.0f, f.width, f.panel);
    fill(PANEL, 0.9f * f.s, f.width - TRACK_WIDTH, 0.0f, TRACK_WIDTH, f.panel);
    fill(WHITE, f.s, 0.0f, f.panel, f.width, 2.0f);
    fill(WHITE, f.s, f.width - TRACK_WIDTH, 0.0f, 1.0f, f.panel);
    // The thumb covers the visible share of the matching lines; a larger
    // offset moves it up towards the oldest line.
    const float total = static_cast<float>(matching > 0 ? matching : 1);
    const float shown = static_cast<float>(f.fit < matching ? f.fit : matching);
    const float thumb = std::max(4.0f, f.panel * (matching > 0 ? shown / total : 1.0f));
    const float bottom = f.panel - f.panel * static_cast<float>(scroll) / total;
    fill(THUMB, f.s, f.width - TRACK_WIDTH + 1.0f, std::max(0.0f, bottom - thumb), TRACK_WIDTH - 1.0f,
         std::min(thumb, bottom));
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetAlpha(1.0f);
}

void drawInputLine(const ConsoleState& c, const Frame& f) {
    VozerEngineApi* a = api();
    const float row = f.panel - f.lineHeight - 1.0f;
    fill(WHITE, 0.75f * f.s, 0.0f, row - 2.0f, f.width - TRACK_WIDTH, 1.0f);
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetAlpha(f.s);
    std::string text;
    appendEscaped(text, c.input.data(), static_cast<size_t>(c.caret));
    float caretX = 0.0f, unused = 0.0f;
    if (!text.empty()) font::measureTextPlain(f.font, text.c_str(), &caretX, &unused);
    appendEscaped(text, c.input.data() + c.caret, c.input.size() - static_cast<size_t>(c.caret));
    font::drawTextPlain(f.font, TEXT_X, row, text.c_str());
    fill(WHITE, (1.0f - c.blink) * f.s, TEXT_X + caretX, row + 1.0f, 2.0f, f.lineHeight - 3.0f);
}

void drawLogLine(const LogLine& line, const Frame& f, float y, const std::string& filter, std::string& scratch) {
    VozerEngineApi* a = api();
    const Rgb& colour = levelColour(line.level);
    a->SetColor(colour.r, colour.g, colour.b);
    a->SetTextScale(PREFIX_SCALE, PREFIX_SCALE, 0.0f);
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "#%.4d: ", line.number);
    font::drawTextPlain(f.font, TEXT_X, y, prefix);
    std::snprintf(prefix, sizeof prefix, "[%.2d:%.2d]", line.time[3], line.time[4]);
    float end = TIME_X + font::drawTextPlain(f.font, TIME_X, y, prefix);
    if (!line.threadName.empty()) {
        scratch = "[";
        appendEscaped(scratch, line.threadName.data(), line.threadName.size());
        scratch += "]>";
        end = THREAD_X + font::drawTextPlain(f.font, THREAD_X, y, scratch.c_str());
    }
    a->SetTextScale(1.0f, 1.0f, 0.0f);
    highlightedText(scratch, line.text, filter, colour.markup);
    font::drawTextPlain(f.font, end + TEXT_GAP, y, scratch.c_str());
}

// The matching lines shown, newest first: `scroll` matching lines up from the
// newest, as many as fit. Copied under PRINT, so that drawing them (which
// takes the font's lock) happens with no log lock held.
std::vector<LogLine> visibleLines(const std::deque<LogLine>& lines, const std::string& filter, int32_t scroll,
                                  int32_t fit) {
    std::vector<LogLine> shown;
    int32_t skip = scroll;
    for (auto it = lines.rbegin(); it != lines.rend() && static_cast<int32_t>(shown.size()) <= fit; ++it) {
        if (!lineMatches(it->text, filter)) continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        shown.push_back(*it);
    }
    return shown;
}

// Newest at the bottom, until the top.
void drawLogLines(const std::vector<LogLine>& shown, const Frame& f, const std::string& filter) {
    std::string scratch;
    api()->SetAlpha(f.s);  // the caret leaves its blinking alpha behind
    float y = f.panel - 2.0f * f.lineHeight - 4.0f;
    for (auto it = shown.begin(); it != shown.end() && y + f.lineHeight > 0.0f; ++it) {
        drawLogLine(*it, f, y, filter, scratch);
        y -= f.lineHeight;
    }
}

}  // namespace

void DrawConsole() {
    if (!logEnabled()) return;
    ConsoleState& c = consoleState();
    if (c.slide <= 0.0f) return;
    Frame f{};
    f.font = consoleFont();
    if (!f.font) return;
    f.s = std::sin(c.slide * HALF_PI);
    float screenHeight = 0.0f;
    screenSize(f.width, screenHeight);
    const float height = screenHeight * HEIGHT_SHARE;
    f.lineHeight = f.font->lineHeight > 0 ? static_cast<float>(f.font->lineHeight) : DEFAULT_LINE_HEIGHT;
    f.panel = (height - f.lineHeight - 2.0f) * f.s;
    const float logArea = f.panel - f.lineHeight - 4.0f;
    f.fit = logArea > 0.0f ? static_cast<int32_t>(logArea / f.lineHeight) : 0;

    VozerEngineApi* a = api();
    a->SetBlendMode(0);
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetAlpha(1.0f);
    a->SetTextAlign(0);
    a->SetTextScale(1.0f, 1.0f, 0.0f);

    // Workers append lines at any time: the list is read under PRINT.
    int32_t matching;
    std::vector<LogLine> shown;
    {
        EngineLock lock(MUTEX_PRINT);
        const std::deque<LogLine>& lines = lockedLogLines();
        matching = countMatches(lines, c.input);
        followScrollDrag(c, f, matching);
        const int32_t most = matching > f.fit ? matching - f.fit : 0;
        if (c.scroll > most) c.scroll = most;
        if (c.scroll < 0) c.scroll = 0;
        shown = visibleLines(lines, c.input, c.scroll, f.fit);
    }

    drawPanels(f, matching, c.scroll);
    drawInputLine(c, f);
    drawLogLines(shown, f, c.input);
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetAlpha(1.0f);
}

}  // namespace vz::diag
