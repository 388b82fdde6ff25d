// How a bitmap's pixels go into its texture: the texture size, where the
// image sits inside it, and the one-pixel border that keeps bilinear
// filtering at the image's edge from picking up foreign texels. Plain memory
// work with no device in sight, so it can be checked on its own.
#pragma once

#include <cstdint>

namespace vz::d3d8 {

struct PackLayout {
    int32_t packMode = 3;          // the mode actually used (VZ_PAD_* / VZ_NO_PADDING)
    int32_t padX = 0, padY = 0;    // image offset inside the texture
    int32_t width = 0, height = 0; // image size (the pixel data's)
    int32_t textureWidth = 0, textureHeight = 0;
};

// Smallest power of two >= value (a power of two stays itself); 1 for 0.
uint32_t nextPowerOfTwo(uint32_t value);

// Plan the texture for `width` x `height` pixels of data with the bitmap's
// pack mode. A power-of-two image needs no border; an image without alpha
// cannot fade its border and repeats the edge instead; large images go
// without the border where it would double the texture.
PackLayout planPacking(int32_t width, int32_t height, int32_t packMode, bool hasAlpha);

// Copy `pixels` (rows of layout.width pixels) into locked texture memory
// (rows of `pitchBytes`) at the layout's offset, then write the border by the
// pack mode: PAD_EXPAND repeats the edge pixels, PAD_TRANSPARENT repeats them
// with alpha 0; the other modes leave the rest of the texture alone. The
// pixels are already in the device's byte order (B, G, R, A).
void copyPacked(const uint32_t* pixels, const PackLayout& layout, uint8_t* target, int32_t pitchBytes);

}  // namespace vz::d3d8
