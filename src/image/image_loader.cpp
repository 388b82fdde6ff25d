#include "image/image_loader.h"

#include <cstdlib>

#include "api/engine_api.h"
#include "state/runtime_state.h"

// Placeholder of the image loader: pixel memory works, decoding and encoding
// are not there yet (every load fails as if the file were unreadable).
namespace vz::image {

namespace {

vz_bool VZ_THISCALL opReadImageInfo(VozerImageLoader*, VozerBitmap* bitmap, const char* path) {
    return readImageInfo(bitmap, path) ? 1 : 0;
}
vz_bool VZ_THISCALL opLoadImage(VozerImageLoader*, VozerBitmap* bitmap, const char* path) {
    return loadImage(bitmap, path) ? 1 : 0;
}
void VZ_THISCALL opAllocateImagePixels(VozerImageLoader*, VozerBitmap* bitmap, int32_t width, int32_t height) {
    allocateImagePixels(bitmap, width, height);
}
void VZ_THISCALL opFreeImagePixels(VozerImageLoader*, VozerBitmap* bitmap) { freeImagePixels(bitmap); }
vz_bool VZ_THISCALL opSaveImage(VozerImageLoader*, VozerBitmap* bitmap, const char* path, int32_t quality) {
    return saveImage(bitmap, path, quality) ? 1 : 0;
}

const VozerImageLoaderOps OPS{opReadImageInfo, opLoadImage, opAllocateImagePixels, opFreeImagePixels,
                              opSaveImage};
VozerImageLoader loader{&OPS};

}  // namespace

bool startImageLoader() {
    api()->Log(VZ_SYSTEM, "Portable Image loader initializing..\n");
    rt().shared.imageLoader = &loader;
    return true;
}

VozerImageLoader* imageLoader() { return &loader; }

ImageFormat formatOfPath(const char*) { return ImageFormat::Unknown; }
bool readImageInfo(VozerBitmap* bitmap, const char* path) { return !bitmap || !path; }
bool loadImage(VozerBitmap* bitmap, const char* path) { return !bitmap || !path; }

void allocateImagePixels(VozerBitmap* bitmap, int32_t width, int32_t height) {
    if (!bitmap || width <= 0 || height <= 0) return;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
    if (bytes > 0x7FFFFFFFu) return;
    std::free(bitmap->pixels);
    bitmap->pixels = static_cast<uint32_t*>(std::calloc(1, static_cast<size_t>(bytes)));
    bitmap->width = bitmap->dataWidth = width;
    bitmap->height = bitmap->dataHeight = height;
}

void freeImagePixels(VozerBitmap* bitmap) {
    if (!bitmap) return;
    std::free(bitmap->pixels);
    bitmap->pixels = nullptr;
}

bool saveImage(VozerBitmap*, const char*, int32_t) { return false; }
bool decodeImage(VozerBitmap*, const uint8_t*, size_t, ImageFormat, const char*) { return false; }
bool encodePng(const VozerBitmap*, uint8_t**, size_t*) { return false; }
void freeEncoded(uint8_t* data) { std::free(data); }
bool createImageResized(VozerBitmap*, const VozerBitmap*, int32_t, int32_t) { return false; }

}  // namespace vz::image
