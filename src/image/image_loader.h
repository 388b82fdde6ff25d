// The image loader: decoding and encoding images into bitmap pixel memory.
// Every decoder writes pixels in the renderer's byte order (rt().pixelByteOrder:
// 1 = B,G,R,A in memory, 0 = R,G,B,A).
#pragma once

#include <cstddef>
#include <cstdint>

#include "vozer_runtime.h"

namespace vz::image {

enum class ImageFormat { Unknown, Png, Jpeg, Tga };

// Create the loader and publish it in the runtime state, where renderers find
// it. False when it cannot start.
bool startImageLoader();
// The one loader object (also reachable as rt().shared.imageLoader once started).
VozerImageLoader* imageLoader();

// The format named by the last four characters of `path`, case-insensitively.
ImageFormat formatOfPath(const char* path);

// The loader's operations, callable directly by the runtime.
bool readImageInfo(VozerBitmap* bitmap, const char* path);
bool loadImage(VozerBitmap* bitmap, const char* path);
void allocateImagePixels(VozerBitmap* bitmap, int32_t width, int32_t height);
void freeImagePixels(VozerBitmap* bitmap);
bool saveImage(VozerBitmap* bitmap, const char* path, int32_t quality);

// Decode an image held in memory (a download, a block inside a sequence file)
// into the bitmap, as loadImage does for a file. `name` is used in messages.
bool decodeImage(VozerBitmap* bitmap, const uint8_t* data, size_t size, ImageFormat format,
                 const char* name);
// Encode the bitmap's pixels as a PNG file in memory (8-bit RGBA); false on failure.
bool encodePng(const VozerBitmap* bitmap, uint8_t** data, size_t* size);
// Free a block returned by encodePng.
void freeEncoded(uint8_t* data);

// ZTI_CreateImageResized: the target gets new pixels of width x height,
// bilinear from the source, transparent pixels coloured from their neighbours.
bool createImageResized(VozerBitmap* target, const VozerBitmap* source, int32_t width, int32_t height);

}  // namespace vz::image
