#include "image/image_loader.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

// First cut of the image loader: pixel memory and PNG writing work; decoding
// fails as if the file were unreadable.
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

bool saveImage(VozerBitmap* bitmap, const char* path, int32_t) {
    if (!bitmap || !path) return false;
    const size_t length = std::strlen(path);
    if (length < 3 || std::strcmp(path + length - 3, "png") != 0) return false;
    uint8_t* data = nullptr;
    size_t size = 0;
    if (!encodePng(bitmap, &data, &size)) return false;
    const std::string file = std::strstr(path, "://") ? fs::ResolvePath(path) : std::string(path);
    std::FILE* out = file.empty() ? nullptr : platform::openFile(file.c_str(), "wb");
    const bool written = out && std::fwrite(data, 1, size, out) == size;
    if (out && std::fclose(out) != 0) return false;
    freeEncoded(data);
    return written;
}

bool decodeImage(VozerBitmap*, const uint8_t*, size_t, ImageFormat, const char*) { return false; }

bool encodePng(const VozerBitmap* bitmap, uint8_t** data, size_t* size) {
    if (!bitmap || !bitmap->pixels || !data || !size) return false;
    const int32_t width = bitmap->dataWidth ? bitmap->dataWidth : bitmap->width;
    const int32_t height = bitmap->dataHeight ? bitmap->dataHeight : bitmap->height;
    if (width <= 0 || height <= 0) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = rt().pixelByteOrder == 1 ? PNG_FORMAT_BGRA : PNG_FORMAT_RGBA;
    png_alloc_size_t bytes = 0;
    if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, bitmap->pixels, 0, nullptr)) return false;
    auto* block = static_cast<uint8_t*>(std::malloc(bytes));
    if (!block) return false;
    if (!png_image_write_to_memory(&image, block, &bytes, 0, bitmap->pixels, 0, nullptr)) {
        std::free(block);
        return false;
    }
    *data = block;
    *size = bytes;
    return true;
}

void freeEncoded(uint8_t* data) { std::free(data); }
bool createImageResized(VozerBitmap*, const VozerBitmap*, int32_t, int32_t) { return false; }

}  // namespace vz::image
