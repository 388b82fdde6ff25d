// What the format handlers (png_format.cpp, jpeg_format.cpp, tga_format.cpp)
// share with the loader: the size checks, pixel memory, the output byte order
// and a growable output block. Each handler is a set of functions over memory
// buffers; the loader supplies the bytes and picks the handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_loader.h"

namespace vz::image {

// 1 when pixels are B,G,R,A in memory (the renderer's choice), else 0.
int32_t pixelByteOrder();

// The size of the bitmap's pixel buffer: dataWidth x dataHeight, or width x
// height where a data size is 0.
int32_t pixelWidth(const VozerBitmap* bitmap);
int32_t pixelHeight(const VozerBitmap* bitmap);

// Whether a decoder may take an image of this size; when not, logs why
// (naming the image and the format) and returns false.
bool acceptImageSize(const char* name, const char* format, int64_t width, int64_t height);

// Give the bitmap pixel memory of width x height for a decoder (sizes already
// accepted): sets width, height, dataWidth, dataHeight. False, with a
// message, when memory runs out.
bool allocateDecodedPixels(VozerBitmap* bitmap, int32_t width, int32_t height);

// Forget the bitmap's pixels (freed) and its size and alpha flag: the state a
// decoder starts from and leaves behind when it fails.
void resetDecodedImage(VozerBitmap* bitmap);

// A growable block of encoded bytes, malloc-owned so it can be handed out as
// the result of encodeImage. Nothing here throws: a failed growth marks the
// block failed and drops further bytes.
struct ByteSink {
    uint8_t* data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    bool failed = false;
};
void appendBytes(ByteSink& sink, const void* bytes, size_t count);
// Free the block and mark it empty.
void discardBytes(ByteSink& sink);

// The format handlers. Decoders start from resetDecodedImage and leave the
// bitmap without pixels when they fail; header readers fill width and height
// only. Encoders append a whole file to the sink (pixels present and sized).
bool decodePng(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool readPngHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool encodePngFile(const VozerBitmap* bitmap, ByteSink& out);

bool decodeJpeg(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool readJpegHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool encodeJpegFile(const VozerBitmap* bitmap, int32_t quality, ByteSink& out);

bool decodeTga(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool readTgaHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name);
bool encodeTgaFile(const VozerBitmap* bitmap, ByteSink& out);

}  // namespace vz::image
