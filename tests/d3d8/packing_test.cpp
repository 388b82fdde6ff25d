// Where an image goes inside its texture, by size and pack mode.
#include <gtest/gtest.h>

#include "texture_packer.h"
#include "vozer_render_types.h"

namespace vz::d3d8 {
namespace {

TEST(TexturePacking, BordersAreLeftOutWhereTheyWouldDoubleTheTexture) {
    PackLayout big = planPacking(1024, 1024, VZ_PAD_EXPAND, true);
    EXPECT_EQ(big.packMode, VZ_NO_PADDING);
    EXPECT_EQ(big.textureWidth, 1024);
    EXPECT_EQ(big.padX, 0);

    PackLayout wide = planPacking(1023, 100, VZ_PAD_EXPAND, true);
    EXPECT_EQ(wide.padX, 0);
    EXPECT_EQ(wide.textureWidth, 1024);
    EXPECT_EQ(wide.padY, 1);
    EXPECT_EQ(wide.textureHeight, 128);
    EXPECT_EQ(wide.packMode, VZ_PAD_EXPAND);

    PackLayout small = planPacking(100, 50, VZ_PAD_EXPAND, true);
    EXPECT_EQ(small.textureWidth, 128);
    EXPECT_EQ(small.textureHeight, 64);
    EXPECT_EQ(small.padX, 1);
    EXPECT_EQ(small.padY, 1);

    // Power-of-two images need no border; without alpha nothing can fade.
    EXPECT_EQ(planPacking(64, 32, VZ_PAD_TRANSPARENT, true).packMode, VZ_NO_PADDING);
    EXPECT_EQ(planPacking(30, 30, VZ_PAD_TRANSPARENT, false).packMode, VZ_PAD_EXPAND);
    EXPECT_EQ(planPacking(30, 30, VZ_NO_PADDING, true).textureWidth, 32);
}

TEST(TexturePacking, LargeImageWithoutBorderStillRepeatsIntoTheUnusedColumn) {
    // 1023 wide: no left border, but the texture has a column to its right
    // that bilinear filtering reaches; it gets the edge, not stale memory.
    const PackLayout layout = planPacking(1023, 2, VZ_PAD_TRANSPARENT, true);
    std::vector<uint32_t> pixels(1023 * 2, 0xFF112233u);
    pixels[1022] = 0xFFABCDEFu;
    std::vector<uint32_t> texture(static_cast<size_t>(layout.textureWidth) * layout.textureHeight, 0xDEADBEEFu);
    copyPacked(pixels.data(), layout, reinterpret_cast<uint8_t*>(texture.data()), layout.textureWidth * 4);
    const int pitch = layout.textureWidth;
    EXPECT_EQ(texture[1 * pitch + 1022], 0xFFABCDEFu);
    EXPECT_EQ(texture[1 * pitch + 1023], 0x00ABCDEFu) << "faded copy of the edge";
    EXPECT_EQ(texture[0 * pitch + 0], 0x00112233u) << "the row above fades the top edge";
    EXPECT_EQ(texture[3 * pitch + 5], 0x00112233u) << "the row below fades the bottom edge";
    EXPECT_EQ(texture[2 * pitch + 5], 0xFF112233u);
}

}  // namespace
}  // namespace vz::d3d8
