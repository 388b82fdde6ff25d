#include "texture_packer.h"

#include <cstring>

#include "vozer_render_types.h"

namespace vz::d3d8 {

namespace {

constexpr uint32_t ALPHA_MASK = 0xFF000000u;  // the A byte of a B,G,R,A pixel read as a word

bool isPowerOfTwo(int32_t value) { return value > 0 && (value & (value - 1)) == 0; }

// A border is left out where it would double a large texture: a power-of-two
// side of 1024 or more, or a side one short of its power of two.
int32_t borderFor(int32_t size, int32_t pad) {
    if (size >= 1024 && isPowerOfTwo(size)) return 0;
    if (size >= 1023 && static_cast<uint32_t>(size) == nextPowerOfTwo(static_cast<uint32_t>(size)) - pad) return 0;
    return pad;
}

uint32_t* row(uint8_t* target, int32_t pitchBytes, int32_t y) {
    return reinterpret_cast<uint32_t*>(target + static_cast<int64_t>(y) * pitchBytes);
}

}  // namespace

uint32_t nextPowerOfTwo(uint32_t value) {
    uint32_t result = 1;
    while (result < value && result < 0x80000000u) result <<= 1;
    return result;
}

PackLayout planPacking(int32_t width, int32_t height, int32_t packMode, bool hasAlpha) {
    PackLayout layout;
    layout.width = width;
    layout.height = height;
    layout.packMode = packMode;
    if (isPowerOfTwo(width) && isPowerOfTwo(height)) layout.packMode = VZ_NO_PADDING;
    if (!hasAlpha && layout.packMode == VZ_PAD_TRANSPARENT) layout.packMode = VZ_PAD_EXPAND;
    const bool padded = layout.packMode == VZ_PAD_EXPAND || layout.packMode == VZ_PAD_UNWRITTEN ||
                        layout.packMode == VZ_PAD_TRANSPARENT;
    const int32_t pad = padded ? 1 : 0;
    layout.padX = borderFor(width, pad);
    layout.padY = borderFor(height, pad);
    if (layout.padX == 0 && layout.padY == 0) layout.packMode = VZ_NO_PADDING;
    layout.textureWidth = static_cast<int32_t>(nextPowerOfTwo(static_cast<uint32_t>(width + 2 * layout.padX)));
    layout.textureHeight = static_cast<int32_t>(nextPowerOfTwo(static_cast<uint32_t>(height + 2 * layout.padY)));
    return layout;
}

void copyPacked(const uint32_t* pixels, const PackLayout& layout, uint8_t* target, int32_t pitchBytes) {
    const int32_t w = layout.width, h = layout.height;
    const size_t rowBytes = static_cast<size_t>(w) * 4;
    if (layout.textureWidth == w && layout.textureHeight == h && pitchBytes == static_cast<int32_t>(rowBytes)) {
        std::memcpy(target, pixels, rowBytes * static_cast<size_t>(h));
        return;
    }
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(row(target, pitchBytes, layout.padY + y) + layout.padX, pixels + static_cast<int64_t>(y) * w,
                    rowBytes);
    if (layout.packMode != VZ_PAD_EXPAND && layout.packMode != VZ_PAD_TRANSPARENT) return;

    // The border exists on each side where the texture has room for it: always
    // with a padded layout, and also right of or below a large image that went
    // without a border but does not fill its power of two.
    const bool top = layout.padY > 0, left = layout.padX > 0;
    const bool bottom = layout.padY + h < layout.textureHeight;
    const bool right = layout.padX + w < layout.textureWidth;
    const int32_t firstRow = layout.padY, lastRow = layout.padY + h - 1;
    if (top) std::memcpy(row(target, pitchBytes, firstRow - 1) + layout.padX, row(target, pitchBytes, firstRow) + layout.padX, rowBytes);
    if (bottom) std::memcpy(row(target, pitchBytes, lastRow + 1) + layout.padX, row(target, pitchBytes, lastRow) + layout.padX, rowBytes);
    const int32_t fromRow = firstRow - (top ? 1 : 0), toRow = lastRow + (bottom ? 1 : 0);
    for (int32_t y = fromRow; y <= toRow; ++y) {
        uint32_t* line = row(target, pitchBytes, y);
        if (left) line[layout.padX - 1] = line[layout.padX];
        if (right) line[layout.padX + w] = line[layout.padX + w - 1];
    }
    if (layout.packMode != VZ_PAD_TRANSPARENT) return;
    const int32_t fromColumn = layout.padX - (left ? 1 : 0), toColumn = layout.padX + w - 1 + (right ? 1 : 0);
    auto clearAlpha = [](uint32_t& pixel) { pixel &= ~ALPHA_MASK; };
    for (int32_t x = fromColumn; x <= toColumn; ++x) {
        if (top) clearAlpha(row(target, pitchBytes, firstRow - 1)[x]);
        if (bottom) clearAlpha(row(target, pitchBytes, lastRow + 1)[x]);
    }
    for (int32_t y = fromRow; y <= toRow; ++y) {
        uint32_t* line = row(target, pitchBytes, y);
        if (left) clearAlpha(line[layout.padX - 1]);
        if (right) clearAlpha(line[layout.padX + w]);
    }
}

}  // namespace vz::d3d8
