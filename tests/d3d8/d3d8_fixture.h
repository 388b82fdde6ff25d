// The real Direct3D 8 plug-in bound and started exactly as the runtime does it
// (the runtime's binding code loads core/gfxmod_d3d8.dll, its renderer
// initialisation calls Init), with a real window on the test's screen, and
// the pixels read back from the window after each presented frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vozer_api.h"
#include "vozer_rendimp.h"

namespace vz::test {

// What the plug-in and the runtime said while a test ran.
struct Said {
    std::vector<std::string> logs;    // "level: text"
    std::vector<std::string> popups;  // "level: text"
    std::vector<VozerEvent> events;   // events the Program received
    bool has(const std::vector<std::string>& list, const std::string& text) const;
};
Said& said();

// A presented frame: 0xAARRGGBB words (A = 255), read from the back buffer
// as Present takes it.
struct Frame {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Whether two colours agree within `tolerance` in each of R, G and B.
bool closeTo(uint32_t a, uint32_t b, int tolerance = 2);
std::string hex(uint32_t colour);

// Bitmap records the tests use: the first of the runtime's bitmap pool, the
// table the renderer walks after a device reset.
constexpr int TEST_BITMAPS = 8;

class D3D8Test : public ::testing::Test {
protected:
    // Window and device of width x height; windowed unless `fullScreen`.
    void start(int32_t width, int32_t height, bool fullScreen = false);
    void SetUp() override;
    void TearDown() override;

    VozerRendImp* renderer() const;
    const VozerRendImpOps& ops() const { return *renderer()->ops; }

    // A bitmap record of the table with its own pixels (0xAARRGGBB words,
    // which are B,G,R,A in memory: the renderer's byte order).
    VozerBitmap& bitmap(int slot, const char* name, int32_t width, int32_t height,
                        const std::vector<uint32_t>& pixels, uint8_t flags = VZ_BITMAP_HAS_ALPHA, int16_t packMode = 0);
    // A quad of screen pixels x0..x1, y0..y1 (Z order), texture u0..u1, v0..v1.
    static void quad(VozerVertex out[4], float x0, float y0, float x1, float y1, uint32_t colour, float u0 = 0,
                     float v0 = 0, float u1 = 1, float v1 = 1);
    // A quad covering the bitmap's image in its texture.
    static void imageQuad(VozerVertex out[4], const VozerBitmap& b, float x, float y, float scale = 1.0f);

    // EndFrame (present), deliver the window's messages; what was presented.
    Frame present();

    VozerBitmap* bitmaps_ = nullptr;  // the first records of the runtime's bitmap pool
    std::vector<std::vector<uint32_t>> pixelStore_{TEST_BITMAPS};
};

// Indexed draws the device made since the last reset.
int drawCount();
void resetDrawCount();

}  // namespace vz::test
