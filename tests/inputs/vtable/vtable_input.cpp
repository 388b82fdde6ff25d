// An input library written the way another C++ compiler's user would write
// one: a class whose virtual member functions are the seven operations, in
// order, with nothing else in its virtual table. The runtime must drive it
// through the object's first word. It records the calls into input.txt
// (working folder), frames counted rather than listed.
//
//   VOZER_TEST_INPUT=unsupported   IsSupported answers false
//   VOZER_TEST_INPUT=null          the export gives no object
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vozer_api.h"
#include "vozer_inputimp.h"
#include "vozer_runtime.h"

namespace {

bool mode(const char* name) {
    const char* value = std::getenv("VOZER_TEST_INPUT");
    return value && std::strcmp(value, name) == 0;
}

void note(const char* format, int value = 0) {
    static std::FILE* file = std::fopen("input.txt", "wb");  // "\n" endings on every system
    if (!file) return;
    std::fprintf(file, format, value);
    std::fputc('\n', file);
    std::fflush(file);
}

// No virtual destructor: it would put extra entries into the table.
class VtableInput {
public:
    virtual vz_bool IsSupported() {
        note("supported %d", !mode("unsupported"));
        return mode("unsupported") ? 0 : 1;
    }
    virtual void Reserved1() { note("reserved called"); }
    virtual vz_bool Init(VozerRuntimeShared* runtime) {
        note("init program=%d", runtime && runtime->program && runtime->api);
        return 1;
    }
    virtual void Shutdown() { note("shutdown after %d frames", frames_); }
    virtual void SetActive(vz_bool active) { note("active %d", active); }
    virtual void BeginFrame() {
        if (open_) note("begin twice");
        open_ = true;
    }
    virtual void EndFrame() {
        if (!open_) note("end without begin");
        open_ = false;
        ++frames_;
    }

private:
    bool open_ = false;
    int frames_ = 0;
};

}  // namespace

extern "C" VZ_EXPORT VozerInputImp* VZ_CDECL VOZER_InputImp_GetInterface(void) {
    static VtableInput input;
    if (mode("null")) return nullptr;
    // The object's first word is its virtual-table pointer: the operation table.
    return reinterpret_cast<VozerInputImp*>(&input);
}
