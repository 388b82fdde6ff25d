#include "core/directx_version.h"

#include <cstdio>
#include <cstring>

#include "api/engine_api.h"

namespace vz {

int32_t encodeDirectXVersion(const platform::DirectXVersion& version) {
    char letter = version.letter;
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    const int32_t letterNumber = letter >= 'a' && letter <= 'z' ? letter - 'a' + 1 : 0;
    return ((version.major & 0xFF) * 256 + (version.minor & 0xFF)) * 256 + letterNumber;
}

int32_t directXVersion() {
    platform::DirectXVersion version;
    const bool found = platform::directXVersionFromDiagnostics(version) || platform::directXVersionFromFiles(version);
    VozerEngineApi* a = api();
    if (!found) {
        a->Log(VZ_SYSTEM, "Unknown version of DirectX installed");
        return 0;
    }
    const int32_t number = encodeDirectXVersion(version);
    if (number == 0) {
        a->Log(VZ_SYSTEM, "DirectX not installed (%X)", number);
        return 0;
    }
    char text[32];
    if (number & 0xFF)
        std::snprintf(text, sizeof text, "%d.%d%c", version.major, version.minor, version.letter);
    else
        std::snprintf(text, sizeof text, "%d.%d", version.major, version.minor);
    a->Log(VZ_SYSTEM, "DirectX %s installed (%X)", text, number);
    return number;
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
