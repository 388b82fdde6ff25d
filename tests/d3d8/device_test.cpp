// The Direct3D 8 plug-in's life as the runtime drives it: start-up failures
// and roll-back, device loss in full screen, frame capture, display modes,
// and bad input that must be refused without harm.
#include <gtest/gtest.h>

#include <windows.h>

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/startup.h"
#include "d3d8_fixture.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::test {
namespace {

class DeviceTest : public D3D8Test {};

int eventsOfType(int32_t type) {
    return static_cast<int>(std::count_if(said().events.begin(), said().events.end(),
                                          [type](const VozerEvent& e) { return e.type == type; }));
}

TEST_F(DeviceTest, LostFullScreenDeviceIsResetWithItsRenderTargets) {
    start(1024, 768, true);
    VozerBitmap& target = bitmap(2, "minimap", 16, 16, {}, 0);
    ASSERT_TRUE(ops().CreateRenderTarget(renderer(), &target));
    ASSERT_FALSE(present().pixels.empty());

    HWND window = static_cast<HWND>(rt().shared.window);
    PostMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
    platform::pumpMessages();
    ops().EndFrame(renderer());
    PostMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
    platform::pumpMessages();
    for (int frame = 0; frame < 20 && !said().has(said().logs, "3: D3D Device reset ok.\n"); ++frame) {
        ops().EndFrame(renderer());
        platform::pumpMessages();
    }
    EXPECT_TRUE(said().has(said().logs, "3: D3D Device lost. Not rendering until properly reset.\n"));
    EXPECT_TRUE(said().has(said().logs, "0: Regenerating render targets...\n"));
    EXPECT_TRUE(said().has(said().logs, "0: Regenerating 'minimap'..\n"));
    ASSERT_TRUE(said().has(said().logs, "3: D3D Device reset ok.\n"));
    EXPECT_EQ(eventsOfType(VZ_EVENT_RENDER_TARGET_LOST), 1) << "the Program redraws each render target";
    EXPECT_TRUE(target.hw.hasTexture);
    EXPECT_TRUE(target.flags & VZ_BITMAP_RENDER_TARGET);

    // The Program redraws the target, and the next frame is right.
    ASSERT_TRUE(ops().SetRenderTarget(renderer(), &target));
    ASSERT_TRUE(ops().Clear(renderer(), 1, 0, 0));
    ASSERT_TRUE(ops().SetRenderTarget(renderer(), nullptr));
    ASSERT_TRUE(ops().Clear(renderer(), 0, 0, 1));
    VozerVertex v[4];
    imageQuad(v, target, 100, 100);
    ops().DrawTexturedQuad(renderer(), &target, v);
    const Frame frame = present();
    ASSERT_EQ(frame.width, 1024);
    EXPECT_EQ(frame.at(100, 100), 0xFFFF0000u);
    EXPECT_EQ(frame.at(115, 115), 0xFFFF0000u);
    EXPECT_EQ(frame.at(116, 116), 0xFF0000FFu);
    EXPECT_EQ(frame.at(0, 0), 0xFF0000FFu);
}

TEST_F(DeviceTest, FailedInitRollsBackToTheModeThatWorked) {
    start(160, 120);
    // Ask for a full-screen mode the adapter does not have: Init fails once,
    // the previous parameters are tried again and the renderer runs with them.
    EXPECT_FALSE(ops().IsResolutionSupported(renderer(), 1000, 700));
    EXPECT_TRUE(ops().IsResolutionSupported(renderer(), 1024, 768));
    rt().requested.width = 1000;
    rt().requested.height = 700;
    rt().requested.windowed = 0;
    said().logs.clear();
    ASSERT_TRUE(initialiseRenderer());
    EXPECT_TRUE(said().has(said().logs, "2: Direct3D8: Unable to CreateDevice.\n"));
    EXPECT_TRUE(said().has(said().logs, "3: Rolling back parms.."));
    EXPECT_EQ(rt().rendererParams.width, 160);
    EXPECT_EQ(rt().rendererParams.windowed, 1);
    EXPECT_TRUE(rt().rendererReady);
    ASSERT_TRUE(ops().Clear(renderer(), 0, 1, 0));
    EXPECT_EQ(present().at(5, 5), 0xFF00FF00u);

    // The same impossible mode again, now the one it was started with: one
    // failure is final, with the designed message, and nothing crashes later.
    rt().rendererParams = rt().requested;
    said().popups.clear();
    EXPECT_FALSE(initialiseRenderer());
    EXPECT_TRUE(said().has(said().popups,
                           "2: Unable to initialize the renderer.\n\nPlease try updating your display adapter drivers "
                           "and rebooting."));
    EXPECT_FALSE(ops().Clear(renderer(), 0, 0, 0));
    ops().EndFrame(renderer());
}

TEST_F(DeviceTest, CaptureWritesTheLastPresentedFrame) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "vozer-capture-test.png";
    DeleteFileA(path.c_str());
    _putenv_s("VOZER_CAPTURE", path.c_str());
    start(160, 120);
    _putenv_s("VOZER_CAPTURE", "");
    ASSERT_TRUE(ops().Clear(renderer(), 1, 0, 0));
    present();
    ASSERT_TRUE(ops().Clear(renderer(), 0, 0, 1));
    VozerVertex v[4];
    quad(v, 10, 10, 20, 20, 0xFF00FF00u);
    ops().DrawQuad(renderer(), v);
    present();
    ops().Shutdown(renderer());

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << path;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(image.width * image.height);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 160u);
    ASSERT_EQ(image.height, 120u);
    EXPECT_EQ(pixels[0], 0xFF0000FFu) << "the last frame, not the first";
    EXPECT_EQ(pixels[15 * 160 + 15], 0xFF00FF00u);
    EXPECT_TRUE(said().has(said().logs, "3: Frame of 160x120 captured to '" + path + "'."));
    DeleteFileA(path.c_str());
}

TEST_F(DeviceTest, OneObjectAndTheAdaptersDisplayModes) {
    start(160, 120);
    auto getInterface = reinterpret_cast<VozerRendImpGetInterfaceFn>(
        platform::findSymbol(rt().rendererLibrary, VZ_RENDIMP_EXPORT));
    ASSERT_NE(getInterface, nullptr);
    EXPECT_EQ(getInterface(), renderer());
    EXPECT_STREQ(ops().GetName(renderer()), "Direct3D8");
    EXPECT_FALSE(ops().CanUploadFromAnyThread(renderer()));
    EXPECT_EQ(rt().pixelByteOrder, 1) << "the runtime takes the renderer's byte order after Init";

    const char* modes = ops().Extension(renderer(), "Display", "GetResolutions");
    ASSERT_NE(modes, nullptr);
    const std::string list = std::string(",") + modes + ",";
    EXPECT_NE(list.find(",1024x768,"), std::string::npos) << modes;
    for (size_t at = 0; (at = list.find(',', at + 1)) != std::string::npos && at + 1 < list.size();) {
        const std::string entry = list.substr(at, list.find(',', at + 1) - at + 1);
        EXPECT_EQ(list.find(entry), list.rfind(entry)) << "listed twice: " << entry;
    }
    EXPECT_EQ(ops().Extension(renderer(), "Display", "Other"), nullptr);
    EXPECT_EQ(ops().Extension(renderer(), "Screen", "GetResolutions"), nullptr);
    EXPECT_EQ(ops().Extension(renderer(), nullptr, nullptr), nullptr);
}

TEST_F(DeviceTest, BadInputIsRefusedWithTheDesignedMessages) {
    start(160, 120);
    std::vector<uint32_t> one(4, 0xFFFFFFFFu);
    VozerBitmap& empty = bitmap(0, "empty", 4, 4, {});
    EXPECT_FALSE(ops().UploadBitmap(renderer(), &empty));
    EXPECT_TRUE(said().has(said().popups,
                           "1: BitmapPacker::BeginPacking bitmap 'empty' has no pixels. This should never happen."));
    VozerBitmap& zero = bitmap(1, "zero", 0, 3, one);
    EXPECT_FALSE(ops().UploadBitmap(renderer(), &zero));
    EXPECT_FALSE(zero.hw.hasTexture);
    VozerBitmap& negative = bitmap(2, "negative", -4, 1, one);
    EXPECT_FALSE(ops().UploadBitmap(renderer(), &negative));
    VozerBitmap& huge = bitmap(3, "huge", 70000, 1, std::vector<uint32_t>(70000, 0xFFFFFFFFu));
    said().logs.clear();
    EXPECT_FALSE(ops().UploadBitmap(renderer(), &huge));
    EXPECT_TRUE(said().has(said().logs, "2: Unable to Create D3D8 Texture.\n"));
    VozerBitmap& noSize = bitmap(4, "no size", 0, 0, {}, 0);
    EXPECT_FALSE(ops().CreateRenderTarget(renderer(), &noSize));
    EXPECT_FALSE(ops().CopyRenderTargetToBitmapPixels(renderer(), &zero)) << "not a render target";

    // An odd size is fine, and uploading again with another size makes a new texture.
    VozerBitmap& odd = bitmap(5, "odd", 3, 5, std::vector<uint32_t>(15, 0xFF00FF00u));
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &odd));
    EXPECT_EQ(odd.hw.textureWidth, 8);
    pixelStore_[5].assign(40 * 20, 0xFF0000FFu);
    odd.pixels = pixelStore_[5].data();
    odd.width = odd.dataWidth = 40;
    odd.height = odd.dataHeight = 20;
    ASSERT_TRUE(ops().UploadBitmap(renderer(), &odd));
    EXPECT_EQ(odd.hw.textureWidth, 64);

    said().popups.clear();
    ops().DrawQuad(renderer(), nullptr);
    ops().DrawTexturedQuad(renderer(), &odd, nullptr);
    ops().DrawLine(renderer(), nullptr);
    ops().DrawShadedQuad(renderer(), nullptr);
    ops().SetWorldTransform(renderer(), nullptr);
    ops().SetTexture(renderer(), -1, &odd);
    ops().SetTexture(renderer(), 8, &odd);
    ops().ReleaseTexture(renderer(), nullptr);
    VozerVertex v[4];
    quad(v, 0, 0, 10, 10, 0xFFFFFFFFu);
    const uint16_t outside[3] = {0, 1, 9};
    EXPECT_FALSE(ops().DrawTriangles(renderer(), nullptr, v, 4, outside, 3)) << "an index past the vertices";
    EXPECT_FALSE(ops().DrawTriangles(renderer(), nullptr, nullptr, 4, outside, 3));
    const uint16_t inside[3] = {0, 1, 2};
    EXPECT_TRUE(ops().DrawTriangles(renderer(), nullptr, v, 4, inside, 3));
    ops().SetRenderStateb(renderer(), 99, 1);
    ops().SetRenderStatei(renderer(), 12, 7);
    ops().SetRenderStatei(renderer(), 3, 0);
    ops().SetRenderStatef(renderer(), 10, 0.5f);
    EXPECT_EQ(said().popups,
              (std::vector<std::string>{"1: SetRenderStateb (99, true) state not supported with this method.",
                                        "1: SetRenderStatei (12, 7) state not supported with this method.",
                                        "1: SetRenderStatei (3, 0) state not supported with this method.",
                                        "1: SetRenderStatef (10, 0.5) state not supported with this method."}));
    EXPECT_FALSE(ops().Reinit(renderer(), 320, 240, 1)) << "a mode change is a full restart";
    present();

    // Once shut down, nothing is drawn and nothing fails hard.
    ops().Shutdown(renderer());
    EXPECT_FALSE(ops().UploadBitmap(renderer(), &odd));
    EXPECT_FALSE(ops().Clear(renderer(), 0, 0, 0));
    EXPECT_FALSE(ops().SetRenderTarget(renderer(), nullptr));
    ops().DrawQuad(renderer(), v);
    ops().EndFrame(renderer());
    ops().ReleaseTexture(renderer(), &odd.hw);
    EXPECT_FALSE(odd.hw.hasTexture);
}

}  // namespace
}  // namespace vz::test
