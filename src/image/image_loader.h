// The image loader: decoding and encoding images into bitmap pixel memory.
#pragma once

#include "vozer_runtime.h"

namespace vz::image {

// Create the loader and publish it in the runtime state, where renderers find
// its pixel-memory services. False when it cannot start.
bool startImageLoader();

}  // namespace vz::image
