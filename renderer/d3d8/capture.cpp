// VOZER_CAPTURE=FILE.png: the last frame presented before the renderer shuts
// down is written to FILE.png (through the runtime's image writer). A mode
// change shuts the renderer down too; a '*' in the name is replaced by the
// number of the shutdown (1, 2, ...), so that each mode a run went through
// keeps its own last frame instead of the next one overwriting it.
//
// The frame is read from the back buffer just before each Present, which the
// device then allows to be locked. The lock waits until every draw of the
// frame has landed, so the file holds exactly what was presented; reading the
// window afterwards instead races the device's own presenting thread on some
// systems. Only a run that asks for the capture pays for the lock and copy.
#include <cstdlib>
#include <cstring>
#include <string>

#include "rendimp_d3d8.h"

namespace vz::d3d8 {

void RendImpD3D8::startCaptureIfAsked() {
    LibraryState& s = lib();
    const char* path = std::getenv("VOZER_CAPTURE");
    s.capture.path = path ? path : "";
    if (!s.capture.path.empty()) presentParams.Flags |= D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
}

void RendImpD3D8::keepFrameForCapture() {
    LibraryState& s = lib();
    if (s.capture.path.empty() || !backBuffer) return;
    D3DSURFACE_DESC description;
    D3DLOCKED_RECT locked{};
    if (FAILED(backBuffer->GetDesc(&description)) || description.Format != D3DFMT_X8R8G8B8) return;
    if (FAILED(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return;
    const int32_t width = static_cast<int32_t>(description.Width), height = static_cast<int32_t>(description.Height);
    s.capture.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                             static_cast<int64_t>(y) * locked.Pitch);
        uint32_t* to = s.capture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        // X8R8G8B8 is B,G,R,x in memory: the renderer's byte order once x is opaque.
        for (int32_t x = 0; x < width; ++x) to[x] = from[x] | 0xFF000000u;
    }
    backBuffer->UnlockRect();
    s.capture.width = width;
    s.capture.height = height;
}

void RendImpD3D8::writeCapture() {
    LibraryState& s = lib();
    if (s.capture.path.empty() || s.capture.pixels.empty()) return;
    VozerImageLoader* loader = s.runtime ? s.runtime->imageLoader : nullptr;
    VozerBitmap frame{};
    frame.width = frame.dataWidth = s.capture.width;
    frame.height = frame.dataHeight = s.capture.height;
    frame.pixels = s.capture.pixels.data();
    std::string path = s.capture.path;
    const size_t star = path.find('*');
    if (star != std::string::npos) path.replace(star, 1, std::to_string(++s.capture.written));
    const bool written = loader && loader->ops->SaveImage(loader, &frame, path.c_str(), 100);
    if (s.api) {
        if (written)
            s.api->Log(VZ_SYSTEM, "Frame of %dx%d captured to '%s'.", s.capture.width, s.capture.height, path.c_str());
        else
            s.api->Log(VZ_ERROR, "Unable to write the captured frame to '%s'.", path.c_str());
    }
    s.capture.pixels.clear();
}

}  // namespace vz::d3d8
