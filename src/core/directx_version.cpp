#include "core/directx_version.h"

#include <cstdio>
#include <cstring>

#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz {

int32_t encodeDirectXVersion(const platform::DirectXVersion& version) {
    char letter = version.letter;
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    const int32_t letterNumber = letter >= 'a' && letter <= 'z' ? letter - 'a' + 1 : 0;
    return ((version.major & 0xFF) * 256 + (version.minor & 0xFF)) * 256 + letterNumber;
}

// Asking the diagnostics provider can take seconds, so a run asks once; the
// answer is logged each time a renderer binding needs it (the first binding
// may come before the log file is open).
int32_t directXVersion() {
    RuntimeState& state = rt();
    if (state.directXVersion < 0) {
        platform::DirectXVersion version;
        const bool found =
            platform::directXVersionFromDiagnostics(version) || platform::directXVersionFromFiles(version);
        const int32_t number = found ? encodeDirectXVersion(version) : 0;
        char text[64];
        if (!found)
            std::snprintf(text, sizeof text, "Unknown version of DirectX installed");
        else if (number == 0)
            std::snprintf(text, sizeof text, "DirectX not installed (%X)", number);
        else if (number & 0xFF)
            std::snprintf(text, sizeof text, "DirectX %d.%d%c installed (%X)", version.major, version.minor,
                          version.letter, number);
        else
            std::snprintf(text, sizeof text, "DirectX %d.%d installed (%X)", version.major, version.minor, number);
        state.directXVersion = number;
        state.directXReport = text;
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
