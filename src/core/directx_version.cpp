#include "core/directx_version.h"

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

// Asking the diagnostics provider takes about as long as opening the window
// and the device together, so it runs beside pre-initialisation instead of
// in front of it. A run that will not bind a Direct3D renderer (one forced
// by VOZER_RENDERER) does not ask at all.
void startDirectXVersionQuery() {
    const std::string forced = platform::environment("VOZER_RENDERER");
    if (!forced.empty() && !rendererNeedsDirectX(forced.c_str())) return;
    rt().directXQuery = std::async(std::launch::async, askDirectX);
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
