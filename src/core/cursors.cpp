// The named mouse cursors behind the engine API's SetCursor.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "core/window.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

constexpr size_t CURSOR_TABLE_CAPACITY = 32;
// Cursor resources of the runtime's own resource script.
constexpr int FINGER_POINT_CURSOR = 104;
constexpr int SAMPLE_PIPET_CURSOR = 105;

struct NamedCursor {
    std::string name;
    void* cursor;
};

struct CursorTable {
    std::mutex lock;  // SetCursor may come from any thread
    std::vector<NamedCursor> entries;
    std::string selected = "ARROW";
};

CursorTable& table() {
    static CursorTable t;
    return t;
}

void fill(CursorTable& t) {
    using platform::SystemCursor;
    const struct {
        const char* name;
        SystemCursor system;
        int resource;  // 0: the system cursor
    } cursors[] = {
        {"ARROW", SystemCursor::Arrow, 0},          {"FINGER_POINT", SystemCursor::Arrow, FINGER_POINT_CURSOR},
        {"SAMPLE_PIPET", SystemCursor::Arrow, SAMPLE_PIPET_CURSOR},
        {"IBEAM", SystemCursor::IBeam, 0},          {"WAIT", SystemCursor::Wait, 0},
        {"CROSS", SystemCursor::Cross, 0},          {"UPARROW", SystemCursor::UpArrow, 0},
        {"SIZENWSE", SystemCursor::SizeNwse, 0},    {"SIZENESW", SystemCursor::SizeNesw, 0},
        {"SIZEWE", SystemCursor::SizeWe, 0},        {"SIZENS", SystemCursor::SizeNs, 0},
        {"SIZEALL", SystemCursor::SizeAll, 0},      {"NO", SystemCursor::No, 0},
        {"HELP", SystemCursor::Help, 0},
    };
    for (const auto& c : cursors) {
        if (t.entries.size() >= CURSOR_TABLE_CAPACITY) break;
        void* handle = c.resource ? platform::programCursor(c.resource) : platform::systemCursor(c.system);
        if (!handle) handle = platform::systemCursor(SystemCursor::Arrow);  // a missing resource must not hide the pointer
        t.entries.push_back(NamedCursor{c.name, handle});
    }
}

const NamedCursor* find(const CursorTable& t, const char* name) {
    for (const NamedCursor& entry : t.entries) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

void loadCursors() {
    CursorTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.entries.empty()) fill(t);
}

std::string selectedCursorName() {
    CursorTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.selected;
}

namespace slots {

// Hidden with the HIDE_CURSOR feature, for null and for "NULL"; a name that is
// not in the table selects the arrow.
void SetCursor(const char* name) {
    CursorTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (rt().hideCursor || !name || std::strcmp(name, "NULL") == 0) {
        t.selected = "NULL";
        platform::showCursor(nullptr);
        return;
    }
    if (t.entries.empty()) fill(t);  // a Program may ask before the main loop starts
    const NamedCursor* entry = find(t, name);
    if (!entry) entry = find(t, "ARROW");
    t.selected = entry->name;
    platform::showCursor(entry->cursor);
}

}  // namespace slots
}  // namespace vz
