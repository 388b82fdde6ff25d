// The image loader: decoding and encoding images into bitmap pixel memory.
// Every decoder writes pixels in the renderer's byte order (rt().pixelByteOrder:
// 1 = B,G,R,A in memory, 0 = R,G,B,A). Pixel memory is always dataWidth x
// dataHeight 32-bit pixels, rows top to bottom without gaps, allocated by
// allocateImagePixels and freed by freeImagePixels (and nothing else).
//
// Every function here may be called from any thread; the loader keeps no
// state between calls except its settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vozer_runtime.h"

namespace vz::image {

enum class ImageFormat { Unknown, Png, Jpeg, Tga };

// Limits on what a decoder accepts, checked from the header before any pixel
// memory is taken, so a small file that claims a huge image (a decompression
// bomb, a lying header) is refused with a message instead of exhausting memory.
constexpr int32_t MAX_IMAGE_SIDE = 16384;
constexpr int64_t MAX_IMAGE_PIXELS = int64_t{1} << 26;  // 256 MiB of pixel memory

struct LoaderSettings {
    // Decode PNG files as if they carried no gamma of their own (the pixels
    // then come out exactly as stored).
    bool ignoreFileGamma = false;
    // Largest pixel count a decoder accepts (at most MAX_IMAGE_PIXELS; the
    // fuzz targets lower it to keep each input fast).
    int64_t maxPixels = MAX_IMAGE_PIXELS;
};

// Create the loader and publish it in the runtime state, where renderers find
// it. False when it cannot start.
bool startImageLoader();
// The one loader object (also reachable as rt().shared.imageLoader once started).
VozerImageLoader* imageLoader();
// The loader's settings; change them only while no image is being decoded.
LoaderSettings& loaderSettings();

// The format named by the last four characters of `path`, case-insensitively:
// ".png", ".jpg", ".tga". Null or anything else: Unknown.
ImageFormat formatOfPath(const char* path);

// The loader's operations, callable directly by the runtime.
bool readImageInfo(VozerBitmap* bitmap, const char* path);
bool loadImage(VozerBitmap* bitmap, const char* path);
void allocateImagePixels(VozerBitmap* bitmap, int32_t width, int32_t height);
void freeImagePixels(VozerBitmap* bitmap);
bool saveImage(VozerBitmap* bitmap, const char* path, int32_t quality);

// Decode an image held in memory (a download, a block inside a sequence file)
// into the bitmap, as loadImage does for a file, without the file flag. Any
// pixels the bitmap held are freed first; on failure it has none. `name` is
// used in messages.
bool decodeImage(VozerBitmap* bitmap, const uint8_t* data, size_t size, ImageFormat format, const char* name);
// Read only the header of an image held in memory into width and height.
bool readImageHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, ImageFormat format, const char* name);
// Encode the bitmap's pixels as a whole file of that format in memory (PNG:
// 8-bit RGBA; JPEG: `quality` 1-100; TGA: 32-bit, rows bottom to top). The
// block is freed with freeEncoded. False, with nothing allocated, on failure.
bool encodeImage(const VozerBitmap* bitmap, ImageFormat format, int32_t quality, uint8_t** data, size_t* size);
// encodeImage as PNG.
bool encodePng(const VozerBitmap* bitmap, uint8_t** data, size_t* size);
// Free a block returned by encodeImage or encodePng.
void freeEncoded(uint8_t* data);

// ZTI_CreateImageResized: the target gets new pixels of width x height,
// bilinear from the source (area-averaged when shrinking by 1.5 or more),
// transparent pixels coloured from their neighbours. False, target unchanged,
// when an argument is unusable.
bool createImageResized(VozerBitmap* target, const VozerBitmap* source, int32_t width, int32_t height);

// The colour fill shared with font generation: every fully transparent pixel
// takes the colour of its non-transparent neighbours (above, right, below,
// left; a later one wins) and stays transparent, so that bilinear filtering
// does not pull a dark fringe into the edges of a shape. Alpha is unchanged.
void fillTransparentColours(VozerBitmap* bitmap);
// The same fill for the pixels of the rectangle x0..x1-1, y0..y1-1 only (it
// is clipped to the bitmap); neighbours outside the rectangle still count.
// The fill is the same whether done at once or rectangle by rectangle.
void fillTransparentColoursIn(VozerBitmap* bitmap, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

}  // namespace vz::image
