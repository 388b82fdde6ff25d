// Packing many small images (sequence frames, glyphs) into one power-of-two
// atlas bitmap on shelves, two transparent pixels apart.
#pragma once

#include <cstdint>

#include "vozer_render_types.h"

namespace vz::image {

// ZTI_PackBitmaps: gives `atlas` new pixels of the smallest power-of-two size
// (up to 1024, then up to 2048) that holds every source on shelves; each
// source's texture rectangle (hw.uLeft .. hw.vBottom) is set to its place in
// the atlas. False, with the atlas left empty, when there are no sources or
// they fit into no 2048 x 2048 atlas. The atlas keeps its name and its
// renderer data (release a texture it holds before packing again).
bool ZTI_PackBitmaps(VozerBitmap* atlas, VozerBitmap* const* sources, int32_t count);

}  // namespace vz::image
