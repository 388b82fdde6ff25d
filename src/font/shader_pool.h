// The shader pool as the rest of the runtime sees it.
#pragma once

#include <cstdint>

namespace vz {

// Shaders made so far (they are never released).
int32_t shadersInUse();
// Forget every shader (tests).
void resetShaderPool();

}  // namespace vz
