// Test helper: replaces the message and file slots of the engine API table so
// tests can see what the data module reports and serve it files from memory.
// The whole table is restored when the helper goes out of scope.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/engine_api.h"

namespace vz {
namespace testing {

struct Message {
    int level;  // -1 for Print
    std::string slot;
    std::string text;
};

class ApiCapture {
public:
    // withFiles: also install an in-memory file layer (so the engine API
    // counts as ready); otherwise only the message slots are set.
    explicit ApiCapture(bool withFiles = true) {
        std::memcpy(&saved_, api(), sizeof saved_);
        current() = this;
        VozerEngineApi* t = api();
        t->Print = &print;
        t->Log = &log;
        t->Popup = &popup;
        if (withFiles) {
            t->OpenFile = &openFile;
            t->CloseFile = &closeFile;
            t->ReadFile = &readFile;
            t->SeekFile = &seekFile;
            t->TellFile = &tellFile;
        }
    }
    ~ApiCapture() {
        std::memcpy(api(), &saved_, sizeof saved_);
        current() = nullptr;
    }
    ApiCapture(const ApiCapture&) = delete;
    ApiCapture& operator=(const ApiCapture&) = delete;

    void addFile(const std::string& name, const std::string& bytes) { files[name] = bytes; }

    std::vector<std::string> popups() const { return texts("Popup"); }
    std::vector<std::string> prints() const { return texts("Print"); }
    size_t countContaining(const std::string& part) const {
        size_t n = 0;
        for (const Message& m : messages)
            if (m.text.find(part) != std::string::npos) ++n;
        return n;
    }

    std::vector<Message> messages;
    std::map<std::string, std::string> files;
    std::vector<std::string> openModes;
    int openCount = 0;

private:
    struct MemFile {
        const std::string* bytes;
        int32_t position;
    };

    static ApiCapture*& current() {
        static ApiCapture* instance = nullptr;
        return instance;
    }
    std::vector<std::string> texts(const char* slot) const {
        std::vector<std::string> out;
        for (const Message& m : messages)
            if (m.slot == slot) out.push_back(m.text);
        return out;
    }
    static void record(int level, const char* slot, const char* format, va_list args) {
        char text[8192];
        std::vsnprintf(text, sizeof text, format, args);
        current()->messages.push_back(Message{level, slot, text});
    }
    static int32_t print(const char* format, ...) {
        va_list args;
        va_start(args, format);
        record(-1, "Print", format, args);
        va_end(args);
        return 0;
    }
    static int32_t log(int32_t level, const char* format, ...) {
        va_list args;
        va_start(args, format);
        record(level, "Log", format, args);
        va_end(args);
        return 0;
    }
    static int32_t popup(int32_t level, const char* format, ...) {
        va_list args;
        va_start(args, format);
        record(level, "Popup", format, args);
        va_end(args);
        return 0;
    }
    static VozerFile* openFile(const char* name, const char* mode) {
        ApiCapture* self = current();
        self->openModes.push_back(mode ? mode : "");
        auto it = self->files.find(name ? name : "");
        if (it == self->files.end()) return nullptr;
        ++self->openCount;
        return reinterpret_cast<VozerFile*>(new MemFile{&it->second, 0});
    }
    static void closeFile(VozerFile* file) {
        if (!file) return;
        --current()->openCount;
        delete reinterpret_cast<MemFile*>(file);
    }
    static int32_t readFile(void* buffer, int32_t bytes, VozerFile* file) {
        MemFile* f = reinterpret_cast<MemFile*>(file);
        const int32_t size = static_cast<int32_t>(f->bytes->size());
        int32_t n = size - f->position;
        if (n > bytes) n = bytes;
        if (n <= 0) return 0;
        std::memcpy(buffer, f->bytes->data() + f->position, static_cast<size_t>(n));
        f->position += n;
        return n;
    }
    static vz_bool seekFile(VozerFile* file, int32_t offset, int32_t origin) {
        MemFile* f = reinterpret_cast<MemFile*>(file);
        const int32_t size = static_cast<int32_t>(f->bytes->size());
        const int32_t base = origin == 0 ? 0 : origin == 1 ? f->position : size;
        if (base + offset < 0 || base + offset > size) return 0;
        f->position = base + offset;
        return 1;
    }
    static int32_t tellFile(VozerFile* file) { return reinterpret_cast<MemFile*>(file)->position; }

    VozerEngineApi saved_;
};

}  // namespace testing
}  // namespace vz
