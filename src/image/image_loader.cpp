#include "image/image_loader.h"

#include <cstdlib>

#include "api/engine_api.h"
#include "core/runtime_state.h"

namespace vz::image {

namespace {

// Bitmap pixels live in one allocation of width x height 32-bit words; sizes
// are checked in 64 bits so a hostile size cannot wrap.
vz_bool VZ_CDECL allocateImagePixels(VozerBitmap* bitmap, int32_t width, int32_t height) {
    if (!bitmap || width <= 0 || height <= 0) return 0;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
    if (bytes > 0x7FFFFFFFu) return 0;
    void* pixels = std::calloc(1, static_cast<size_t>(bytes));
    if (!pixels) return 0;
    std::free(bitmap->pixels);
    bitmap->pixels = static_cast<uint32_t*>(pixels);
    bitmap->dataWidth = width;
    bitmap->dataHeight = height;
    return 1;
}

void VZ_CDECL freeImagePixels(VozerBitmap* bitmap) {
    if (!bitmap || !bitmap->pixels) return;
    std::free(bitmap->pixels);
    bitmap->pixels = nullptr;
}

VozerImageLoader loader{allocateImagePixels, freeImagePixels};

}  // namespace

bool startImageLoader() {
    api()->Log(VZ_SYSTEM, "Portable Image loader initializing..\n");
    rt().shared.imageLoader = &loader;
    return true;
}

}  // namespace vz::image
