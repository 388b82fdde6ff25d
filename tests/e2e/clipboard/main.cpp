// Another program for the end-to-end cases: prints the text on the system
// clipboard (what a game put there), or "(no text)".
#include <cstdio>
#include <string>

#include "platform/platform.h"

int main() {
    std::string text;
    if (!vz::platform::clipboardText(nullptr, text, 1 << 20)) {
        std::printf("(no text)\n");
        return 1;
    }
    std::printf("%s\n", text.c_str());
    return 0;
}
