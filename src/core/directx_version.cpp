#include "core/directx_version.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>

#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz {

int32_t encodeDirectXVersion(const platform::DirectXVersion& version) {
    char letter = version.letter;
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    const int32_t letterNumber = letter >= 'a' && letter <= 'z' ? letter - 'a' + 1 : 0;
    return ((version.major & 0xFF) * 256 + (version.minor & 0xFF)) * 256 + letterNumber;
}

namespace {

// What a run learns about DirectX: the encoded version and its log line.
DirectXAnswer askDirectX() {
    platform::DirectXVersion version;
    const bool found =
        platform::directXVersionFromDiagnostics(version) || platform::directXVersionFromFiles(version);
    DirectXAnswer answer;
    answer.number = found ? encodeDirectXVersion(version) : 0;
    char text[64];
    if (!found)
        std::snprintf(text, sizeof text, "Unknown version of DirectX installed");
    else if (answer.number == 0)
        std::snprintf(text, sizeof text, "DirectX not installed (%X)", answer.number);
    else if (answer.number & 0xFF)
        std::snprintf(text, sizeof text, "DirectX %d.%d%c installed (%X)", version.major, version.minor,
                      version.letter, answer.number);
    else
        std::snprintf(text, sizeof text, "DirectX %d.%d installed (%X)", version.major, version.minor,
                      answer.number);
    answer.report = text;
    return answer;
}

}  // namespace

// Asking the diagnostics provider takes longer than opening the window and
// the device together, and under some systems it holds up the device's own
// creation while it gathers its report: a slow provider is asked on a worker
// thread once the first frame is shown, and the Direct3D renderer bound
// before that is checked when the answer comes.
bool directXCheckDeferred(const char* rendererName) {
    RuntimeState& state = rt();
    if (state.directXVersion >= 0 || !platform::directXProviderIsSlow()) return false;
    state.directXUncheckedRenderer = rendererName;
    return true;
}

bool directXRefusedLate(bool wait) {
    RuntimeState& state = rt();
    if (state.directXUncheckedRenderer.empty()) return false;
    if (!state.directXQuery.valid()) state.directXQuery = std::async(std::launch::async, askDirectX);
    if (!wait && state.directXQuery.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
    const std::string name = std::move(state.directXUncheckedRenderer);
    state.directXUncheckedRenderer.clear();
    if (!directXTooOldFor(name.c_str(), directXVersion())) return false;
    api()->Log(VZ_WARNING, "DirectX version not supported.\n");
    return true;
}

// A run asks once; the answer is logged each time a renderer binding needs
// it (the first binding comes before the log file is open).
int32_t directXVersion() {
    RuntimeState& state = rt();
    if (state.directXVersion < 0) {
        const DirectXAnswer answer = state.directXQuery.valid() ? state.directXQuery.get() : askDirectX();
        state.directXVersion = answer.number;
        state.directXReport = answer.report;
    }
    api()->Log(VZ_SYSTEM, "%s", state.directXReport.c_str());
    return state.directXVersion;
}

bool rendererNeedsDirectX(const char* rendererName) {
    return std::strstr(rendererName, "d3d9") || std::strstr(rendererName, "d3d8");
}

bool directXTooOldFor(const char* rendererName, int32_t version) {
    if (std::strstr(rendererName, "d3d10")) return version < 0x100000;
    if (std::strstr(rendererName, "d3d9")) return version < 0x90000;
    if (std::strstr(rendererName, "d3d8")) return version < 0x80000;
    return false;
}

}  // namespace vz
