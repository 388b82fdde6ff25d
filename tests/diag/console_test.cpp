// The developer console with the log started as at run time: events through
// the input dispatch as the window host sends them, a recording Program, and
// the drawing slots recorded so that what the console draws can be read back
// as text (glyph images of the built-in font map back to their characters).
#include <algorithm>
#include <map>

#include "core/input.h"
#include "diag/console.h"
#include "diag/console_internal.h"
#include "diag/dev_overlays.h"
#include "diag_fixture.h"
#include "ext/extensions.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "vozer_keys.h"

namespace vz::test {
namespace {

struct ProgramEvents {
    std::vector<int32_t> types;
    std::vector<std::string> commands;
    std::vector<int32_t> characters;
};
ProgramEvents& programEvents() {
    static ProgramEvents e;
    return e;
}
int32_t VZ_CDECL recordEvent(VozerEvent event) {
    programEvents().types.push_back(event.type);
    if (event.type == VZ_EVENT_CONSOLE_COMMAND)
        programEvents().commands.emplace_back(static_cast<const char*>(vz_event_pointer_at(&event, 0)));
    if (event.type == VZ_EVENT_CHAR) programEvents().characters.push_back(event.words[0]);
    return 0;
}

// What the clipboard extension saw and answers.
struct FakeClipboard {
    std::string text;
    std::string set;
    int gets = 0;
};
FakeClipboard& clipboard() {
    static FakeClipboard c;
    return c;
}
void* VZ_CDECL fakeExtension(const char* name, void* argument) {
    if (std::strcmp(name, "Clipboard_GetText") == 0) {
        ++clipboard().gets;
        return const_cast<char*>(clipboard().text.c_str());
    }
    if (std::strcmp(name, "Clipboard_SetText") == 0) clipboard().set = static_cast<const char*>(argument);
    return nullptr;
}

// One glyph drawn, with the colour it was drawn in.
struct Drawn {
    VozerBitmap* bitmap;
    float x, y;
    uint32_t colour;
};
struct Canvas {
    std::vector<Drawn> glyphs;
    int transforms = 0;  // glyphs drawn at another scale (the line prefixes) are left out
    std::vector<std::array<float, 4>> rects;
    uint32_t colour = 0xFFFFFF;
};
Canvas& canvas() {
    static Canvas c;
    return c;
}

class ConsoleTest : public DiagTest {
protected:
    VozerProgramRecord program{};

    void SetUp() override {
        DiagTest::SetUp();
        programEvents() = ProgramEvents{};
        clipboard() = FakeClipboard{};
        canvas() = Canvas{};
        ext::resetExtensionState();
        font::resetFontPool();
        clearKeyState();
        program.display.width = 800;
        program.display.height = 600;
        program.OnEvent = &recordEvent;
        rt().shared.program = &program;
        startLog(false);
        diag::startConsole();
    }
    void TearDown() override {
        diag::resetConsole();
        font::resetFontPool();
        rt().shared.program = nullptr;
        DiagTest::TearDown();
    }

    static void character(int32_t code) { postCharEvent(code); }
    static void type(const std::string& text) {
        for (char ch : text) postCharEvent(static_cast<unsigned char>(ch));
    }
    static void key(int32_t code) {
        postKeyEvent(VZ_EVENT_KEY_DOWN, code);
        postKeyEvent(VZ_EVENT_KEY_UP, code);
    }
    static void enter() { character(13); }
    static void openConsole() {
        character(0xA7);
        diag::UpdateConsole(1.0f);
    }
    static void useFakeExtensions() { api()->CallExtension = &fakeExtension; }

    // Draws one frame of the console and returns its text rows, top first.
    static std::vector<std::string> drawnRows(std::vector<std::vector<uint32_t>>* colours = nullptr,
                                              void (*draw)() = &diag::DrawConsole) {
        canvas() = Canvas{};
        VozerEngineApi* a = api();
        a->DrawBitmap = [](VozerBitmap* b, float x, float y) {
            if (canvas().transforms == 0) canvas().glyphs.push_back({b, x, y, canvas().colour});
        };
        a->PushTransform = [](const float*) { ++canvas().transforms; };
        a->PopTransform = [] { --canvas().transforms; };
        a->FillRect = [](float x, float y, float w, float h) { canvas().rects.push_back({x, y, w, h}); };
        a->SetColor = [](float r, float g, float b) {
            canvas().colour = (static_cast<uint32_t>(r * 255.0f + 0.5f) << 16) |
                              (static_cast<uint32_t>(g * 255.0f + 0.5f) << 8) | static_cast<uint32_t>(b * 255.0f + 0.5f);
        };
        draw();
        VozerFont* font = diag::consoleFont();
        std::map<float, std::vector<const Drawn*>> rows;
        for (const Drawn& d : canvas().glyphs) rows[d.y].push_back(&d);
        std::vector<std::string> out;
        for (auto& [y, glyphs] : rows) {
            std::sort(glyphs.begin(), glyphs.end(), [](const Drawn* l, const Drawn* r) { return l->x < r->x; });
            std::string text;
            std::vector<uint32_t> rowColours;
            float lastX = 0.0f;
            for (const Drawn* d : glyphs) {
                // Spaces have no image: the gap says how many there were.
                if (!text.empty())
                    for (int gap = static_cast<int>((d->x - lastX) / 7.0f + 0.5f); gap > 1; --gap) {
                        text += ' ';
                        rowColours.push_back(0);
                    }
                lastX = d->x;
                const auto index = static_cast<size_t>(reinterpret_cast<font::FontGlyph*>(
                                                           reinterpret_cast<char*>(d->bitmap) -
                                                           offsetof(font::FontGlyph, bitmap)) -
                                                       font->glyphs);
                text += static_cast<char>(index);
                rowColours.push_back(d->colour);
            }
            out.push_back(text);
            if (colours) colours->push_back(rowColours);
        }
        return out;
    }
};

TEST_F(ConsoleTest, ToggleCharacterOpensAndClosesAndIsNeverTyped) {
    type("a");
    EXPECT_EQ(programEvents().characters, std::vector<int32_t>{'a'}) << "closed: characters are the Program's";
    character(0xA7);
    EXPECT_TRUE(diag::consoleOpen());
    EXPECT_EQ(program.display.consoleOpen, 1);
    type("hi");
    key(VZ_KEY_LEFT);
    EXPECT_EQ(diag::consoleInput(), "hi");
    EXPECT_EQ(programEvents().characters, std::vector<int32_t>{'a'}) << "open: the console takes the keyboard";
    character(-89);  // the same character read as a signed byte
    EXPECT_FALSE(diag::consoleOpen());
    EXPECT_EQ(program.display.consoleOpen, 0);
    EXPECT_EQ(diag::consoleInput(), "hi") << "the toggle character is never inserted";
    // Keys arriving while the console slides up are the Program's again.
    diag::UpdateConsole(0.1f);
    EXPECT_EQ(diag::consoleSlide(), 0.0f) << "it was never down";
    character(0xA7);
    diag::UpdateConsole(1.0f);
    character(0xA7);
    diag::UpdateConsole(0.1f);
    EXPECT_GT(diag::consoleSlide(), 0.0f);
    type("b");
    EXPECT_EQ(programEvents().characters, (std::vector<int32_t>{'a', 'b'}));
    diag::UpdateConsole(1.0f);
    EXPECT_EQ(diag::consoleSlide(), 0.0f);
}

TEST_F(ConsoleTest, EnteredLineIsEchoedAndReachesTheProgramAsEvent7) {
    openConsole();
    type("spawn 3");
    enter();
    ASSERT_EQ(programEvents().commands, std::vector<std::string>{"spawn 3"});
    EXPECT_TRUE(memoryHas("spawn 3\n")) << "echoed into the log";
    EXPECT_EQ(diag::consoleInput(), "");
    EXPECT_EQ(diag::consoleCaret(), 0);
}

TEST_F(ConsoleTest, UpUpDownWalksTheHistoryAndTheUnfinishedInputIsDroppedOnEnter) {
    openConsole();
    type("one");
    enter();
    type("two");
    enter();
    type("thr");
    key(VZ_KEY_UP);
    EXPECT_EQ(diag::consoleInput(), "two");
    EXPECT_EQ(diag::consoleHistory(), (std::vector<std::string>{"one", "two", "thr"}));
    key(VZ_KEY_UP);
    EXPECT_EQ(diag::consoleInput(), "one");
    key(VZ_KEY_UP);
    EXPECT_EQ(diag::consoleInput(), "one") << "the oldest entry stays";
    key(VZ_KEY_DOWN);
    EXPECT_EQ(diag::consoleInput(), "two");
    EXPECT_EQ(diag::consoleCaret(), 3);
    key(VZ_KEY_DOWN);
    EXPECT_EQ(diag::consoleInput(), "thr") << "the unfinished input is the last entry";
    key(VZ_KEY_UP);
    enter();
    EXPECT_EQ(diag::consoleHistory(), (std::vector<std::string>{"one", "two", "two"}));
    EXPECT_EQ(programEvents().commands.back(), "two");
    key(VZ_KEY_DOWN);
    EXPECT_EQ(diag::consoleInput(), "") << "Down after Enter has nothing newer";
}

TEST_F(ConsoleTest, InputLineEditingKeepsItsLimitAndTakesNoControlCharacters) {
    openConsole();
    type("held");
    key(VZ_KEY_HOME);
    type(">");
    key(VZ_KEY_END);
    type("!");
    key(VZ_KEY_LEFT);
    character(8);
    EXPECT_EQ(diag::consoleInput(), ">hel!");
    EXPECT_EQ(diag::consoleCaret(), 4);
    for (int32_t code : {1, 9, 27, 31, 127, 300}) character(code);
    EXPECT_EQ(diag::consoleInput(), ">hel!");

    type(std::string(600, 'x'));
    EXPECT_EQ(diag::consoleInput().size(), diag::CONSOLE_INPUT_MAX);
    key(VZ_KEY_HOME);
    type("y");
    EXPECT_EQ(diag::consoleInput().size(), diag::CONSOLE_INPUT_MAX) << "a full line takes nothing, at any caret";
    EXPECT_EQ(diag::consoleInput().front(), '>');
}

TEST_F(ConsoleTest, PasteIsCleanedCutAtTheLimitAndTakenOncePerHoldOfControl) {
    openConsole();
    useFakeExtensions();
    clipboard().text = "say\r\nhello\tworld\x01\x7f";
    type("[]");
    key(VZ_KEY_LEFT);
    postKeyEvent(VZ_EVENT_KEY_DOWN, VZ_KEY_CONTROL);
    postKeyEvent(VZ_EVENT_KEY_DOWN, 'V');
    postKeyEvent(VZ_EVENT_KEY_DOWN, 'V');  // still the same hold of Control
    EXPECT_EQ(diag::consoleInput(), "[say hello world]");
    EXPECT_EQ(clipboard().gets, 1);
    postKeyEvent(VZ_EVENT_KEY_UP, VZ_KEY_CONTROL);
    postKeyEvent(VZ_EVENT_KEY_DOWN, VZ_KEY_CONTROL);
    // 495 + 17 = 512: a two-byte sequence across the limit is left out whole.
    clipboard().text = std::string(494, 'a') + "\xc3\xa9" + "tail";
    postKeyEvent(VZ_EVENT_KEY_DOWN, 'V');
    EXPECT_EQ(clipboard().gets, 2);
    EXPECT_EQ(diag::consoleInput().size(), diag::CONSOLE_INPUT_MAX - 1);
    EXPECT_EQ(diag::consoleInput().substr(0, 5), "[say ");

    // Ctrl+C: every log line, each on a line of its own.
    api()->Log(1, "first");
    api()->Log(2, "second\n");
    postKeyEvent(VZ_EVENT_KEY_DOWN, 'C');
    EXPECT_NE(clipboard().set.find("first\nsecond\n"), std::string::npos) << clipboard().set;
}

TEST_F(ConsoleTest, TabCompletesRegisteredCommandsWithoutRegardToCase) {
    api()->CallExtension("Console_AddCommand", const_cast<char*>("SpawnEnemy"));
    api()->CallExtension("Console_AddCommand", const_cast<char*>("spawnBoss"));
    openConsole();
    type("SPAWNb");
    key(VZ_KEY_TAB);
    EXPECT_EQ(diag::consoleInput(), "spawnBoss");
    EXPECT_EQ(diag::consoleCaret(), 9);
    character(8);
    for (int i = 0; i < 8; ++i) character(8);
    key(VZ_KEY_TAB);
    EXPECT_EQ(diag::consoleInput(), "SpawnEnemy") << "an empty input takes the first command";
    type("x");
    key(VZ_KEY_TAB);
    EXPECT_EQ(diag::consoleInput(), "SpawnEnemyx") << "no command begins with it";
}

TEST_F(ConsoleTest, FilterShowsMatchingLinesWithEachMatchHighlightedAndMarkupDrawnAsText) {
    api()->Log(0, "alpha one");
    api()->Log(1, "beta two");
    api()->Log(2, "alpha|#00ff00| and alpha");
    openConsole();
    ASSERT_NE(diag::consoleFont(), nullptr);
    EXPECT_TRUE(diag::consoleFontIsBuiltIn()) << "no core/console.mft here";
    type("alpha");
    std::vector<std::vector<uint32_t>> colours;
    const std::vector<std::string> rows = drawnRows(&colours);
    ASSERT_GE(rows.size(), 3u);
    // Rows: the prefixes and texts of the two matching lines, then the input.
    std::string all;
    for (const std::string& r : rows) all += r + "\n";
    EXPECT_EQ(all.find("beta"), std::string::npos) << all;
    EXPECT_NE(all.find("alpha one"), std::string::npos) << all;
    EXPECT_NE(all.find("alpha|#00ff00| and alpha"), std::string::npos) << all;
    EXPECT_EQ(rows.back(), "alpha") << "the input row is the lowest";
    // The error line: both matches in the highlight colour, the rest red.
    for (size_t r = 0; r < rows.size(); ++r) {
        const size_t at = rows[r].find("alpha|#00ff00| and alpha");
        if (at == std::string::npos) continue;
        EXPECT_EQ(colours[r][at], 0x1199FFu);
        EXPECT_EQ(colours[r][at + 4], 0x1199FFu);
        EXPECT_EQ(colours[r][at + 5], 0xFF0000u) << "after a match the line's own colour returns";
        EXPECT_EQ(colours[r][at + rows[r].size() - at - 1], 0x1199FFu);
    }
}

TEST_F(ConsoleTest, ScrollingStopsAtTheOldestLineAndTheNewest) {
    for (int i = 1; i <= 200; ++i) api()->Log(0, "line %d", i);
    openConsole();
    for (int i = 0; i < 100; ++i) key(VZ_KEY_PAGEUP);
    std::vector<std::string> rows = drawnRows();
    const int32_t most = diag::consoleScrollOffset();
    EXPECT_GT(most, 0);
    EXPECT_LT(most, 201);
    EXPECT_NE(rows.front().find("Logging started"), std::string::npos) << "the oldest line is at the top: " << rows.front();
    key(VZ_KEY_PAGEDOWN);
    EXPECT_EQ(diag::consoleScrollOffset(), most - 4);
    VozerEvent wheel{};
    VozerInputEvent in{};
    in.type = VZ_EVENT_MOUSE_WHEEL;
    in.button = -120 * 250;
    std::memcpy(&wheel, &in, sizeof wheel);
    dispatchInputEvent(wheel);
    EXPECT_EQ(diag::consoleScrollOffset(), 0);
    rows = drawnRows();
    EXPECT_NE(rows[rows.size() - 2].find("line 200"), std::string::npos) << rows[rows.size() - 2];
}

TEST_F(ConsoleTest, WithoutTheLogThereIsNoConsole) {
    diag::resetDiagnostics();
    rt().boot.console = false;
    startLog(false);
    diag::startConsole();
    character(0xA7);
    EXPECT_FALSE(diag::consoleOpen());
    EXPECT_EQ(programEvents().characters, std::vector<int32_t>{0xA7}) << "the character is the Program's";
    diag::ToggleConsole();
    EXPECT_FALSE(diag::consoleOpen());
    EXPECT_FALSE(diag::ConsoleHandleEvent(VozerEvent{VZ_EVENT_CHAR, {'x'}}));
}

int usageReports = 0;
void drawOverlaysOfOneFrame() { diag::drawDeveloperOverlays(0.016f); }

TEST_F(ConsoleTest, DeveloperOverlaysFollowTheirKeysInTheConsoleFont) {
    std::strcpy(program.title, "Overlay Game");
    ext::serviceHooks().listResourceUsage = [] { ++usageReports; };
    usageReports = 0;
    EXPECT_TRUE(drawnRows(nullptr, &drawOverlaysOfOneFrame).empty()) << "no key, no overlay";

    slots::SetKeyState(VZ_KEY_F1 + 5, VZ_KEY_HELD);
    std::string all;
    for (const std::string& row : drawnRows(nullptr, &drawOverlaysOfOneFrame)) all += row + "\n";
    for (const char* line : {"Device Info:", "Free resolution", "Boot Settings:", "Not autoscaling", "Program:",
                             "Current size 800x600", "Title: Overlay Game", "System:", "Transform Stack index -1"})
        EXPECT_NE(all.find(line), std::string::npos) << line << " missing from:\n" << all;
    slots::SetKeyState(VZ_KEY_F1 + 5, 0);

    slots::SetKeyState(VZ_KEY_F1 + 2, VZ_KEY_HELD);
    const std::vector<std::string> graph = drawnRows(nullptr, &drawOverlaysOfOneFrame);
    ASSERT_FALSE(graph.empty());
    EXPECT_EQ(graph.front(), "High: 16ms");
    slots::SetKeyState(VZ_KEY_F1 + 2, 0);

    // F4 acts once per press, however long it is held.
    slots::SetKeyState(VZ_KEY_F1 + 3, VZ_KEY_HELD | VZ_KEY_WENT_DOWN);
    for (int i = 0; i < 3; ++i) diag::drawDeveloperOverlays(0.016f);
    slots::SetKeyState(VZ_KEY_F1 + 3, 0);
    diag::drawDeveloperOverlays(0.016f);
    slots::SetKeyState(VZ_KEY_F1 + 3, VZ_KEY_HELD);
    diag::drawDeveloperOverlays(0.016f);
    EXPECT_EQ(usageReports, 2);
    ext::serviceHooks().listResourceUsage = nullptr;

    rt().boot.developerMode = false;
    slots::SetKeyState(VZ_KEY_F1 + 5, VZ_KEY_HELD);
    EXPECT_TRUE(drawnRows(nullptr, &drawOverlaysOfOneFrame).empty()) << "F6 is a developer key";
}

TEST(ConsoleFilterTest, HighlightEscapesMarkupAndStopsAtTheLineLimit) {
    std::string out;
    diag::highlightedText(out, "a|b ab", "ab", "|#ffffff|");
    EXPECT_EQ(out, "a||b |#1199ff|ab|#ffffff|");
    diag::highlightedText(out, "x|y", "", "|#ffffff|");
    EXPECT_EQ(out, "x||y");
    // Each wrap adds 18 characters: a line of 480 keeps the first match only.
    const std::string line = "ab" + std::string(476, '.') + "ab";
    diag::highlightedText(out, line, "ab", "|#ffffff|");
    EXPECT_EQ(out, "|#1199ff|ab|#ffffff|" + std::string(476, '.') + "ab");
    EXPECT_TRUE(diag::lineMatches("Abc", ""));
    EXPECT_FALSE(diag::lineMatches("Abc", "ab")) << "case-sensitive";
}

}  // namespace
}  // namespace vz::test
