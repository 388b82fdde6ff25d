// The image loader object: its five operations, reading image files whole
// through the engine's file layer, choosing the format handler, pixel memory,
// and saving through the handlers' encoders.
#include "image/image_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/engine_api.h"
#include "fs/paths.h"
#include "image/image_codec.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::image {

namespace {

// An image file larger than this is refused before it is read: no image the
// decoders accept needs more (an uncompressed TGA at the pixel cap is 256 MiB).
constexpr int64_t MAX_IMAGE_FILE_BYTES = MAX_IMAGE_PIXELS * 4 + (int64_t{1} << 20);

// [SECTION] The loader object

// Operations as seen by plug-ins. Nothing may escape them: they are called
// across a library boundary.
vz_bool VZ_THISCALL opReadImageInfo(VozerImageLoader*, VozerBitmap* bitmap, const char* path) {
    try {
        return readImageInfo(bitmap, path) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
vz_bool VZ_THISCALL opLoadImage(VozerImageLoader*, VozerBitmap* bitmap, const char* path) {
    try {
        return loadImage(bitmap, path) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
void VZ_THISCALL opAllocateImagePixels(VozerImageLoader*, VozerBitmap* bitmap, int32_t width, int32_t height) {
    try {
        allocateImagePixels(bitmap, width, height);
    } catch (...) {
    }
}
void VZ_THISCALL opFreeImagePixels(VozerImageLoader*, VozerBitmap* bitmap) {
    try {
        freeImagePixels(bitmap);
    } catch (...) {
    }
}
vz_bool VZ_THISCALL opSaveImage(VozerImageLoader*, VozerBitmap* bitmap, const char* path, int32_t quality) {
    try {
        return saveImage(bitmap, path, quality) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

const VozerImageLoaderOps OPS{opReadImageInfo, opLoadImage, opAllocateImagePixels, opFreeImagePixels, opSaveImage};

struct LoaderState {
    VozerImageLoader object{&OPS};
    LoaderSettings settings;
};

LoaderState& state() {
    static LoaderState instance;
    return instance;
}

// [SECTION] Reading files whole

enum class ReadResult { NotOpened, Read, Failed };

// The whole file through the engine's file layer into a malloc block. A file
// that cannot be opened fails quietly, so callers can try other names.
ReadResult readWholeFile(const char* path, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    VozerEngineApi* engine = api();
    VozerFile* file = engine->OpenFile(path, "rb");
    if (!file) return ReadResult::NotOpened;
    int64_t length = -1;
    if (engine->SeekFile(file, 0, 2)) length = engine->TellFile(file);
    if (length < 0 || !engine->SeekFile(file, 0, 0)) {
        engine->CloseFile(file);
        engine->Log(1, "Image file '%s' cannot be read.\n", path);
        return ReadResult::Failed;
    }
    if (length > MAX_IMAGE_FILE_BYTES) {
        engine->CloseFile(file);
        engine->Log(1, "Image file '%s' is too large (%lld bytes).\n", path, static_cast<long long>(length));
        return ReadResult::Failed;
    }
    auto* block = static_cast<uint8_t*>(std::malloc(length > 0 ? static_cast<size_t>(length) : 1));
    if (!block) {
        engine->CloseFile(file);
        engine->Log(1, "Out of memory reading image file '%s' (%lld bytes).\n", path, static_cast<long long>(length));
        return ReadResult::Failed;
    }
    // A file that shrinks while it is read yields what was there; the
    // decoders treat the missing end as a truncated file.
    size_t got = 0;
    while (got < static_cast<size_t>(length)) {
        const int32_t n = engine->ReadFile(block + got, static_cast<int32_t>(static_cast<size_t>(length) - got), file);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    engine->CloseFile(file);
    *data = block;
    *size = got;
    return ReadResult::Read;
}

const char* messageName(const VozerBitmap* bitmap, const char* path) { return bitmap->name ? bitmap->name : path; }

bool endsWith(const char* text, const char* ending) {
    const size_t length = std::strlen(text), endingLength = std::strlen(ending);
    return length >= endingLength && std::memcmp(text + length - endingLength, ending, endingLength) == 0;
}

}  // namespace

// [SECTION] Start-up and settings

bool startImageLoader() {
    api()->Log(VZ_SYSTEM, "Portable Image loader initializing..\n");
    rt().shared.imageLoader = &state().object;
    return true;
}

VozerImageLoader* imageLoader() { return &state().object; }
LoaderSettings& loaderSettings() { return state().settings; }

// [SECTION] Helpers shared with the format handlers

int32_t pixelByteOrder() { return rt().pixelByteOrder == 1 ? 1 : 0; }

int32_t pixelWidth(const VozerBitmap* bitmap) { return bitmap->dataWidth > 0 ? bitmap->dataWidth : bitmap->width; }
int32_t pixelHeight(const VozerBitmap* bitmap) { return bitmap->dataHeight > 0 ? bitmap->dataHeight : bitmap->height; }

bool acceptImageSize(const char* name, const char* format, int64_t width, int64_t height) {
    int64_t limit = state().settings.maxPixels;
    if (limit <= 0 || limit > MAX_IMAGE_PIXELS) limit = MAX_IMAGE_PIXELS;
    if (width >= 1 && height >= 1 && width <= MAX_IMAGE_SIDE && height <= MAX_IMAGE_SIDE && width * height <= limit)
        return true;
    api()->Log(1,
               "%s ERROR: Image '%s' claims %lldx%lld pixels; images of 1 to %d pixels a side and at most %lld "
               "pixels are loaded.\n",
               format, name ? name : "(null)", static_cast<long long>(width), static_cast<long long>(height),
               MAX_IMAGE_SIDE, static_cast<long long>(limit));
    return false;
}

bool allocateDecodedPixels(VozerBitmap* bitmap, int32_t width, int32_t height) {
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    auto* pixels = static_cast<uint32_t*>(std::malloc(bytes));
    if (!pixels) {
        api()->Log(1, "Out of memory for the %dx%d pixels of image '%s'.\n", width, height,
                   bitmap->name ? bitmap->name : "(null)");
        return false;
    }
    bitmap->pixels = pixels;
    bitmap->width = bitmap->dataWidth = width;
    bitmap->height = bitmap->dataHeight = height;
    return true;
}

void resetDecodedImage(VozerBitmap* bitmap) {
    std::free(bitmap->pixels);
    bitmap->pixels = nullptr;
    bitmap->width = bitmap->height = 0;
    bitmap->dataWidth = bitmap->dataHeight = 0;
    bitmap->flags = static_cast<uint8_t>(bitmap->flags & ~VZ_BITMAP_HAS_ALPHA);
}

void appendBytes(ByteSink& sink, const void* bytes, size_t count) {
    if (sink.failed || count == 0) return;
    if (count > sink.capacity - sink.size) {
        size_t capacity = sink.capacity ? sink.capacity : 4096;
        while (capacity - sink.size < count) {
            if (capacity > SIZE_MAX / 2) {
                sink.failed = true;
                return;
            }
            capacity *= 2;
        }
        auto* grown = static_cast<uint8_t*>(std::realloc(sink.data, capacity));
        if (!grown) {
            sink.failed = true;
            return;
        }
        sink.data = grown;
        sink.capacity = capacity;
    }
    std::memcpy(sink.data + sink.size, bytes, count);
    sink.size += count;
}

void discardBytes(ByteSink& sink) {
    std::free(sink.data);
    sink = ByteSink{};
}

// [SECTION] Formats

ImageFormat formatOfPath(const char* path) {
    if (!path) return ImageFormat::Unknown;
    const size_t length = std::strlen(path);
    if (length < 4) return ImageFormat::Unknown;
    char ending[5];
    for (int i = 0; i < 4; ++i) {
        char c = path[length - 4 + i];
        ending[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    ending[4] = '\0';
    if (!std::strcmp(ending, ".tga")) return ImageFormat::Tga;
    if (!std::strcmp(ending, ".png")) return ImageFormat::Png;
    if (!std::strcmp(ending, ".jpg")) return ImageFormat::Jpeg;
    return ImageFormat::Unknown;
}

namespace {

using ImageReader = bool (*)(VozerBitmap*, const uint8_t*, size_t, const char*);

// The format handler's reader of whole images or of headers; null (after the
// designed popup) for a format the loader does not know.
ImageReader readerFor(ImageFormat format, bool headerOnly, const char* name) {
    switch (format) {
        case ImageFormat::Png:
            return headerOnly ? readPngHeader : decodePng;
        case ImageFormat::Jpeg:
            return headerOnly ? readJpegHeader : decodeJpeg;
        case ImageFormat::Tga:
            return headerOnly ? readTgaHeader : decodeTga;
        case ImageFormat::Unknown:
            break;
    }
    api()->Popup(1, "Unsupported image format in file '%s'\n", name ? name : "(null)");
    return nullptr;
}

}  // namespace

bool decodeImage(VozerBitmap* bitmap, const uint8_t* data, size_t size, ImageFormat format, const char* name) {
    if (!bitmap) return false;
    resetDecodedImage(bitmap);
    ImageReader decode = readerFor(format, false, name);
    return decode && decode(bitmap, data, data ? size : 0, name);
}

bool readImageHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, ImageFormat format, const char* name) {
    if (!bitmap) return false;
    ImageReader read = readerFor(format, true, name);
    return read && read(bitmap, data, data ? size : 0, name);
}

bool encodeImage(const VozerBitmap* bitmap, ImageFormat format, int32_t quality, uint8_t** data, size_t* size) {
    if (!data || !size) return false;
    *data = nullptr;
    *size = 0;
    if (!bitmap || !bitmap->pixels) return false;
    const int64_t width = pixelWidth(bitmap), height = pixelHeight(bitmap);
    if (width < 1 || height < 1 || width * height > MAX_IMAGE_PIXELS) return false;
    ByteSink sink;
    bool encoded = false;
    switch (format) {
        case ImageFormat::Png:
            encoded = encodePngFile(bitmap, sink);
            break;
        case ImageFormat::Jpeg:
            encoded = encodeJpegFile(bitmap, quality, sink);
            break;
        case ImageFormat::Tga:
            encoded = encodeTgaFile(bitmap, sink);
            break;
        case ImageFormat::Unknown:
            break;
    }
    if (!encoded || sink.failed) {
        discardBytes(sink);
        return false;
    }
    *data = sink.data;
    *size = sink.size;
    return true;
}

bool encodePng(const VozerBitmap* bitmap, uint8_t** data, size_t* size) {
    return encodeImage(bitmap, ImageFormat::Png, 0, data, size);
}

void freeEncoded(uint8_t* data) { std::free(data); }

// [SECTION] The five operations

namespace {

// What LoadImage and ReadImageInfo share: the file read whole through the
// file layer, the reloadable flag, then the reader of the path's format (a
// whole decode starts by dropping what the bitmap held). A file that does not
// open is NotOpened, without a word, so callers can try other names.
ReadResult readFileWith(VozerBitmap* bitmap, const char* path, bool headerOnly) {
    uint8_t* data = nullptr;
    size_t size = 0;
    const ReadResult read = readWholeFile(path, &data, &size);
    if (read == ReadResult::NotOpened) return read;
    bitmap->flags |= VZ_BITMAP_RELOADABLE;
    if (!headerOnly) resetDecodedImage(bitmap);
    ImageReader reader = readerFor(formatOfPath(path), headerOnly, path);
    const bool done = reader && read == ReadResult::Read && reader(bitmap, data, size, messageName(bitmap, path));
    std::free(data);
    return done ? ReadResult::Read : ReadResult::Failed;
}

}  // namespace

bool readImageInfo(VozerBitmap* bitmap, const char* path) {
    if (!bitmap || !path) return true;
    const ReadResult read = readFileWith(bitmap, path, true);
    if (read == ReadResult::NotOpened) return false;
    if (bitmap->pixels) freeImagePixels(bitmap);
    return read == ReadResult::Read;
}

bool loadImage(VozerBitmap* bitmap, const char* path) {
    if (!bitmap || !path) return true;
    const ReadResult read = readFileWith(bitmap, path, false);
    if (read == ReadResult::NotOpened) return false;
    if (!bitmap->pixels) {
        api()->Log(1, "Unable to load image '%s'\n", path);
        return false;
    }
    return true;
}

void allocateImagePixels(VozerBitmap* bitmap, int32_t width, int32_t height) {
    if (!bitmap) return;
    if (width < 1 || width > 65535 || height < 1 || height > 65535)
        api()->Popup(1, "ImageLoaderImp::AllocateImagePixels dimensions (%d%d) seem weird.", width, height);
    if (bitmap->pixels) {
        api()->Popup(1, "ImageLoaderImp::AllocateImagePixels bitmap already has pixels allocated!");
        freeImagePixels(bitmap);
    }
    if (width > 65536) width = 65536;
    if (height > 65536) height = 65536;
    // A size that cannot be given leaves the bitmap without pixels and its
    // size untouched, rather than a record whose size promises memory it lacks.
    const int64_t pixels = static_cast<int64_t>(width) * height;
    if (width < 1 || height < 1 || pixels > MAX_IMAGE_PIXELS) {
        api()->Log(1, "ImageLoaderImp::AllocateImagePixels refuses %dx%d pixels.\n", width, height);
        return;
    }
    // Zeroed, so that a render target read back only in part shows no stale memory.
    auto* memory = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(pixels), 4u));
    if (!memory) {
        api()->Log(1, "ImageLoaderImp::AllocateImagePixels out of memory for %dx%d pixels.\n", width, height);
        return;
    }
    bitmap->pixels = memory;
    bitmap->width = bitmap->dataWidth = width;
    bitmap->height = bitmap->dataHeight = height;
}

void freeImagePixels(VozerBitmap* bitmap) {
    if (!bitmap) {
        api()->Log(1, "ImageLoader trying to free null bitmap.\n");
        return;
    }
    std::free(bitmap->pixels);
    bitmap->pixels = nullptr;
}

bool saveImage(VozerBitmap* bitmap, const char* path, int32_t quality) {
    if (!bitmap || !path) return false;
    VozerEngineApi* engine = api();
    engine->Print("Saving image to file '%s'..\n", path);
    ImageFormat format = ImageFormat::Unknown;
    if (endsWith(path, "png")) {
        format = ImageFormat::Png;
    } else if (endsWith(path, "jpg")) {
        format = ImageFormat::Jpeg;
    } else if (endsWith(path, "tga")) {
        format = ImageFormat::Tga;
    } else {
        engine->Popup(1, "SaveImage - file format for '%s' not supported. Use .png format.\n", path);
        return false;
    }
    if (!bitmap->pixels) {
        engine->Log(1, "SaveImage - bitmap '%s' has no pixels to save.\n", bitmap->name ? bitmap->name : "(null)");
        return false;
    }
    const std::string file = std::strstr(path, "://") ? fs::ResolvePath(path) : std::string(path);
    if (file.empty()) {
        engine->Log(1, "SaveImage - '%s' names no file that can be written.\n", path);
        return false;
    }
    // The whole file is encoded before the old one is touched: a failed
    // encoding leaves an earlier file of that name as it was.
    uint8_t* data = nullptr;
    size_t size = 0;
    if (!encodeImage(bitmap, format, quality, &data, &size)) {
        engine->Log(1, "SaveImage - unable to encode image for '%s'.\n", path);
        return false;
    }
    std::FILE* out = platform::openFile(file.c_str(), "wb");
    bool written = out && std::fwrite(data, 1, size, out) == size;
    if (out && std::fclose(out) != 0) written = false;
    freeEncoded(data);
    if (!written) engine->Log(1, "SaveImage - unable to write file '%s'.\n", path);
    return written;
}

}  // namespace vz::image
