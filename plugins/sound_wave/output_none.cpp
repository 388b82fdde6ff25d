// The development host's build has no sound device: the mix goes into
// nothing (and into the capture file, when one is asked for).
#include "output.h"

namespace wave {

std::unique_ptr<Output> openOutput(int, int, int, std::string* error) {
    *error = "this build has no sound output";
    return nullptr;
}

}  // namespace wave
