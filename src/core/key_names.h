// Names of the engine's key codes, as written in the boot configuration.
#pragma once

#include <cstdint>

namespace vz {

// Key code of a name ("ESCAPE", "F", "mouse" names...); 0 when unknown.
int32_t keyCodeFromName(const char* name);

}  // namespace vz
