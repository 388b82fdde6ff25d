#define CINTERFACE  // the device's operation table as a plain struct, for DrawCounter
#include "d3d8_fixture.h"

#include <windows.h>
#include <d3d8.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/startup.h"
#include "core/plugin_binding.h"
#include "core/shutdown.h"
#include "core/window.h"
#include "fs/paths.h"
#include "image/image_loader.h"
#include "platform/platform.h"
#include "resources/bitmap_pool.h"
#include "state/runtime_state.h"

namespace vz::test {

namespace {

Said theSaid;
VozerProgramRecord program;

std::string format(const char* fmt, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt ? fmt : "(null)", args);
    return text;
}
int32_t VZ_CDECL capturePopup(int32_t level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theSaid.popups.push_back(std::to_string(level) + ": " + format(fmt, args));
    va_end(args);
    return 1;
}
int32_t VZ_CDECL captureLog(int32_t level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theSaid.logs.push_back(std::to_string(level) + ": " + format(fmt, args));
    va_end(args);
    return 0;
}
int32_t VZ_CDECL capturePrint(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    theSaid.logs.push_back("0: " + format(fmt, args));
    va_end(args);
    return 0;
}
int32_t VZ_CDECL programEvent(VozerEvent event) {
    theSaid.events.push_back(event);
    return 0;
}

// The blend and filter slots of the engine come back to the renderer, as the
// drawing state of the runtime does.
void VZ_CDECL forwardBlendMode(int32_t mode) {
    if (VozerRendImp* r = rt().renderer) r->ops->SetBlendMode(r, mode);
}
void VZ_CDECL forwardFilterMode(int32_t mode) {
    if (VozerRendImp* r = rt().renderer) r->ops->SetFilterMode(r, mode);
}

// The device interface's operation table is one for every device of the
// library: two of its entries are wrapped, to count indexed draws and to read
// the back buffer just before it is presented. The read goes through a
// system-memory copy whose lock waits for the device to finish the frame,
// so it holds exactly what Present shows.
IDirect3DDevice8Vtbl* deviceTable = nullptr;
decltype(deviceTable->DrawIndexedPrimitiveUP) originalDraw = nullptr;
decltype(deviceTable->Present) originalPresent = nullptr;
int drawsMade = 0;
Frame lastPresented;

HRESULT WINAPI countingDraw(IDirect3DDevice8* device, D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT count,
                            const void* indices, D3DFORMAT format, const void* data, UINT stride) {
    ++drawsMade;
    return originalDraw(device, type, minIndex, vertices, count, indices, format, data, stride);
}

void readBackBuffer(IDirect3DDevice8* device) {
    lastPresented = Frame{};
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* copy = nullptr;
    D3DSURFACE_DESC description;
    if (SUCCEEDED(IDirect3DDevice8_GetBackBuffer(device, 0, D3DBACKBUFFER_TYPE_MONO, &back)) &&
        SUCCEEDED(IDirect3DSurface8_GetDesc(back, &description)) &&
        SUCCEEDED(IDirect3DDevice8_CreateImageSurface(device, description.Width, description.Height,
                                                      description.Format, &copy)) &&
        SUCCEEDED(IDirect3DDevice8_CopyRects(device, back, nullptr, 0, copy, nullptr))) {
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(IDirect3DSurface8_LockRect(copy, &locked, nullptr, D3DLOCK_READONLY))) {
            lastPresented.width = static_cast<int32_t>(description.Width);
            lastPresented.height = static_cast<int32_t>(description.Height);
            for (UINT y = 0; y < description.Height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                    y * locked.Pitch);
                for (UINT x = 0; x < description.Width; ++x) lastPresented.pixels.push_back(row[x] | 0xFF000000u);
            }
            IDirect3DSurface8_UnlockRect(copy);
        }
    }
    if (copy) IDirect3DSurface8_Release(copy);
    if (back) IDirect3DSurface8_Release(back);
}

HRESULT WINAPI readingPresent(IDirect3DDevice8* device, const RECT* source, const RECT* destination, HWND window,
                              const RGNDATA* dirty) {
    readBackBuffer(device);
    return originalPresent(device, source, destination, window, dirty);
}

template <typename Entry>
void writeTableEntry(Entry* entry, Entry value) {
    DWORD old = 0;
    VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &old);
    *entry = value;
    VirtualProtect(entry, sizeof *entry, old, &old);
}

// Reach the table through a device of our own on a window of our own, once.
void hookDeviceTable() {
    if (deviceTable) return;
    IDirect3D8* d3d = Direct3DCreate8(220);
    HWND window = CreateWindowA("STATIC", "hooks", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.hDeviceWindow = window;
    IDirect3DDevice8* device = nullptr;
    if (d3d && SUCCEEDED(IDirect3D8_CreateDevice(d3d, D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device))) {
        deviceTable = device->lpVtbl;
        originalDraw = deviceTable->DrawIndexedPrimitiveUP;
        originalPresent = deviceTable->Present;
        writeTableEntry(&deviceTable->DrawIndexedPrimitiveUP, &countingDraw);
        writeTableEntry(&deviceTable->Present, &readingPresent);
        IDirect3DDevice8_Release(device);
    }
    if (d3d) IDirect3D8_Release(d3d);
    if (window) DestroyWindow(window);
}

}  // namespace

bool Said::has(const std::vector<std::string>& list, const std::string& text) const {
    for (const std::string& line : list)
        if (line == text) return true;
    return false;
}
Said& said() { return theSaid; }

bool closeTo(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

std::string hex(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", colour);
    return text;
}

void D3D8Test::SetUp() {
    theSaid = Said{};
    createThreadRegistryLock();
    resetRuntimeState();
    clearEngineApi();
    fillEngineApi();
    recordMainThread();
    createEngineMutexes();
    fs::initPathRoots();
    hookDeviceTable();
    ASSERT_NE(deviceTable, nullptr) << "the device's operation table could not be reached";

    std::memset(&program, 0, sizeof program);
    program.interfaceVersion = VZ_INTERFACE_VERSION;
    std::strcpy(program.title, "Vozer D3D8 Test");
    program.display.framePeriodMs = 8;
    program.OnEvent = programEvent;
    RuntimeState& state = rt();
    state.shared.api = api();
    state.shared.program = &program;
    state.shared.displayInfo = &state.displayInfo;
    state.shared.screenSize = &state.displayInfo.deviceWidth;
    bitmaps_ = bitmapRecords();
    for (int i = 0; i < TEST_BITMAPS; ++i) bitmaps_[i] = VozerBitmap{};
    setBitmapHighWater(TEST_BITMAPS);
    image::startImageLoader();
    ASSERT_TRUE(bindRendererIfUnbound()) << "core/gfxmod_d3d8.dll beside the test was not bound";
    // After binding (which fills the table again): capture what is said.
    api()->Popup = capturePopup;
    api()->Log = captureLog;
    api()->Print = capturePrint;
    api()->SetBlendMode = forwardBlendMode;
    api()->SetTextureFilter = forwardFilterMode;
}

void D3D8Test::start(int32_t width, int32_t height, bool fullScreen) {
    RuntimeState& state = rt();
    program.display.width = width;
    program.display.height = height;
    program.display.windowed = fullScreen ? 0 : 1;
    state.requested = program.display;
    state.rendererParams = program.display;
    ASSERT_TRUE(createWindow());
    ASSERT_TRUE(initialiseRenderer());
    platform::pumpMessages();
}

void D3D8Test::TearDown() {
    RuntimeState& state = rt();
    for (int i = 0; i < TEST_BITMAPS; ++i) {
        VozerBitmap& b = bitmaps_[i];
        if (state.renderer && b.hw.hasTexture) state.renderer->ops->ReleaseTexture(state.renderer, &b.hw);
        b = VozerBitmap{};
    }
    setBitmapHighWater(0);
    if (state.renderer) {
        state.renderer->ops->Shutdown(state.renderer);
        state.rendererReady = false;
    }
    unbindRenderer();
    destroyWindow();
    platform::pumpMessages();
    destroyEngineMutexes();
    resetRuntimeState();
}

VozerRendImp* D3D8Test::renderer() const { return rt().renderer; }

VozerBitmap& D3D8Test::bitmap(int slot, const char* name, int32_t width, int32_t height,
                              const std::vector<uint32_t>& pixels, uint8_t flags, int16_t packMode) {
    VozerBitmap& b = bitmaps_[slot];
    b = VozerBitmap{};
    pixelStore_[slot] = pixels;
    b.name = const_cast<char*>(name);
    b.width = width;
    b.height = height;
    b.pixels = pixelStore_[slot].empty() ? nullptr : pixelStore_[slot].data();
    b.flags = flags;
    b.packMode = packMode;
    return b;
}

void D3D8Test::quad(VozerVertex out[4], float x0, float y0, float x1, float y1, uint32_t colour, float u0, float v0,
                    float u1, float v1) {
    out[0] = {x0, y0, 0.5f, colour, u0, v0};
    out[1] = {x1, y0, 0.5f, colour, u1, v0};
    out[2] = {x0, y1, 0.5f, colour, u0, v1};
    out[3] = {x1, y1, 0.5f, colour, u1, v1};
}

void D3D8Test::imageQuad(VozerVertex out[4], const VozerBitmap& b, float x, float y, float scale) {
    quad(out, x, y, x + b.width * scale, y + b.height * scale, 0xFFFFFFFFu, b.hw.uLeft, b.hw.vTop, b.hw.uRight,
         b.hw.vBottom);
}

Frame D3D8Test::present() {
    lastPresented = Frame{};
    ops().EndFrame(renderer());
    platform::pumpMessages();
    EXPECT_FALSE(lastPresented.pixels.empty()) << "nothing was presented";
    return lastPresented;
}

int drawCount() { return drawsMade; }
void resetDrawCount() { drawsMade = 0; }

}  // namespace vz::test
