#include <cstring>

#include "core/boot_config.h"
#include "core/runtime_state.h"

namespace vz {

// A feature is present when it stands in a list as a whole token: "SHOW_FPS"
// matches "A,SHOW_FPS" but neither "SHOW_FPS2" nor "NO_SHOW_FPS".
bool hasFeature(const char* name) {
    if (!name || !*name) return false;
    const size_t length = std::strlen(name);
    auto isTokenChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    };
    for (const std::string& list : rt().boot.featureLists) {
        size_t at = list.find(name);
        while (at != std::string::npos) {
            const bool startsToken = at == 0 || !isTokenChar(list[at - 1]);
            const bool endsToken = at + length == list.size() || !isTokenChar(list[at + length]);
            if (startsToken && endsToken) return true;
            at = list.find(name, at + 1);
        }
    }
    return false;
}

}  // namespace vz
