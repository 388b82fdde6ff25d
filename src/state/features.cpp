#include <cstring>
#include <string>

#include "state/features.h"
#include "state/runtime_state.h"

namespace vz {

namespace {
bool isSeparator(char c) { return c == ' ' || c == ',' || c == ';'; }
}  // namespace

// A whole token is bounded by the list's ends, ' ', ',' or ';': "SHOW_FPS"
// is found in "A,SHOW_FPS" but neither in "SHOW_FPS2" nor in "NO_SHOW_FPS".
bool listHasToken(const std::string& list, const char* token) {
    if (!token || !*token) return false;
    const size_t length = std::strlen(token);
    for (size_t at = list.find(token); at != std::string::npos; at = list.find(token, at + 1)) {
        const bool starts = at == 0 || isSeparator(list[at - 1]);
        const bool ends = at + length == list.size() || isSeparator(list[at + length]);
        if (starts && ends) return true;
    }
    return false;
}

bool hasFeature(const char* name) {
    for (const std::string& list : rt().boot.featureLists) {
        if (listHasToken(list, name)) return true;
    }
    return false;
}

}  // namespace vz
