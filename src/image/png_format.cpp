// PNG through libpng: header, decoding from memory, encoding to memory.
//
// libpng reports fatal errors by longjmp back to the setjmp of the call that
// started the work. Everything that must survive the jump (the bitmap, the
// scratch rows) lives in a context object outside the jumping function, and
// no C++ object with a destructor lives between setjmp and the libpng calls.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/engine_api.h"
#include "image/image_codec.h"

namespace vz::image {

namespace {

constexpr double SCREEN_GAMMA = 2.2;
constexpr double DEFAULT_FILE_GAMMA = 1.0 / 2.2;

// [SECTION] Decoding

struct PngReadContext {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t cursor = 0;
    const char* name = nullptr;
    VozerBitmap* bitmap = nullptr;
    uint8_t* scratch = nullptr;  // decoded rows of fewer than 4 channels
    png_bytep* rows = nullptr;   // one pointer per row into the pixels or the scratch
    bool refused = false;        // failed with a message of its own (size, channels)
    char reason[160] = "";       // libpng's message when it gave up
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* context = static_cast<PngReadContext*>(png_get_io_ptr(png));
    if (count > context->size - context->cursor) png_error(png, "the file ends early");
    std::memcpy(out, context->data + context->cursor, count);
    context->cursor += count;
}

void readError(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngReadContext*>(png_get_error_ptr(png));
    std::snprintf(context->reason, sizeof context->reason, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}

// Warnings (a damaged ancillary chunk, a bad CRC of one) leave a usable image.
void ignoreWarning(png_structp, png_const_charp) {}

// Ancillary chunks that say nothing about the pixels the loader makes: they
// are skipped unread, so a damaged or huge one costs nothing.
constexpr png_byte SKIPPED_CHUNKS[] =
    "bKGD\0cHRM\0eXIf\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0"
    "sPLT\0sTER\0tEXt\0tIME\0zTXt";
// What libpng may allocate for one chunk; the image data is read row by row
// and never needs a block of its own.
constexpr png_alloc_size_t MAX_CHUNK_BYTES = 8u << 20;

void startReading(PngReadContext& c, png_structp png, png_infop info) {
    png_set_read_fn(png, &c, readFromMemory);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, SKIPPED_CHUNKS,
                                static_cast<int>((sizeof SKIPPED_CHUNKS) / 5));
    png_set_chunk_malloc_max(png, MAX_CHUNK_BYTES);
    png_read_info(png, info);
}

// Channels after the transformations below: grey or colour, plus alpha when
// the image has an alpha channel or a transparency chunk.
int channelsAfterExpansion(int colorType, bool hasTransparencyChunk) {
    const int colour = (colorType & PNG_COLOR_MASK_COLOR) ? 3 : 1;
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || hasTransparencyChunk;
    return colour + (alpha ? 1 : 0);
}

// Everything libpng does for one decode, between the setjmp and the last row.
// False when libpng gave up (reason in the context) or the image was refused.
bool runDecode(PngReadContext& c, png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    startReading(c, png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (!acceptImageSize(c.name, "PNG", width, height)) {
        c.refused = true;
        return false;
    }
    if (!allocateDecodedPixels(c.bitmap, static_cast<int32_t>(width), static_cast<int32_t>(height))) {
        c.refused = true;
        return false;
    }

    double fileGamma = DEFAULT_FILE_GAMMA;
    if (loaderSettings().ignoreFileGamma || !png_get_gAMA(png, info, &fileGamma) || fileGamma <= 0.0)
        fileGamma = DEFAULT_FILE_GAMMA;
    png_set_gamma(png, SCREEN_GAMMA, fileGamma);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    const bool transparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparencyChunk) png_set_tRNS_to_alpha(png);
    if (pixelByteOrder() == 1 && (colorType & PNG_COLOR_MASK_COLOR)) png_set_bgr(png);

    // Three channels (colour) get their alpha of 255 and two (grey, alpha)
    // their grey copied into red, green and blue by libpng itself, so those
    // decode straight into the pixel memory; one channel (a grey level that is
    // the pixel's opacity) goes through the scratch rows.
    const int channels = channelsAfterExpansion(colorType, transparencyChunk);
    if (channels == 3) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    if (channels == 2) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t rowBytes = png_get_rowbytes(png, info);
    const int decodedChannels = static_cast<int>(rowBytes / width);
    const int expected = channels == 1 ? 1 : 4;
    if (decodedChannels != expected || rowBytes % width != 0) {
        api()->Popup(1, "Unsupported png '%s' with %d channels.\n", c.name, decodedChannels);
        c.refused = true;
        return false;
    }
    c.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!c.rows) png_error(png, "out of memory for the row table");
    uint8_t* target = reinterpret_cast<uint8_t*>(c.bitmap->pixels);
    if (decodedChannels == 1) {
        c.scratch = static_cast<uint8_t*>(std::malloc(rowBytes * height));
        if (!c.scratch) png_error(png, "out of memory for the decoded rows");
        target = c.scratch;
    }
    for (png_uint_32 y = 0; y < height; ++y) c.rows[y] = target + static_cast<size_t>(y) * rowBytes;
    png_read_image(png, c.rows);

    if (decodedChannels == 1) {
        // A one-channel PNG is a white image whose grey level is its opacity.
        const size_t count = static_cast<size_t>(width) * height;
        uint8_t* out = reinterpret_cast<uint8_t*>(c.bitmap->pixels);
        for (size_t i = 0; i < count; ++i, out += 4) {
            out[0] = out[1] = out[2] = 0xFF;
            out[3] = c.scratch[i];
        }
    }
    if (channels != 3) c.bitmap->flags |= VZ_BITMAP_HAS_ALPHA;
    return true;
}

bool hasPngSignature(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

// The header alone, under its own setjmp.
bool runHeader(PngReadContext& c, png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    startReading(c, png, info);
    c.bitmap->width = static_cast<int32_t>(png_get_image_width(png, info));
    c.bitmap->height = static_cast<int32_t>(png_get_image_height(png, info));
    return true;
}

// [SECTION] Encoding

struct PngWriteContext {
    ByteSink* sink = nullptr;
    png_bytep* rows = nullptr;
};

void writeToSink(png_structp png, png_bytep bytes, png_size_t count) {
    auto* context = static_cast<PngWriteContext*>(png_get_io_ptr(png));
    appendBytes(*context->sink, bytes, count);
    if (context->sink->failed) png_error(png, "out of memory for the encoded file");
}
void flushNothing(png_structp) {}

void writeError(png_structp png, png_const_charp message) {
    api()->Log(1, "PNG ERROR: %s\n", message ? message : "unknown error");
    png_longjmp(png, 1);
}

bool runEncode(PngWriteContext& c, png_structp png, png_infop info, const VozerBitmap* bitmap) {
    if (setjmp(png_jmpbuf(png))) return false;
    const auto width = static_cast<png_uint_32>(pixelWidth(bitmap));
    const auto height = static_cast<png_uint_32>(pixelHeight(bitmap));
    png_set_write_fn(png, &c, writeToSink, flushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_8 significant{};
    significant.red = significant.green = significant.blue = significant.alpha = 8;
    png_set_sBIT(png, info, &significant);
    png_write_info(png, info);
    if (pixelByteOrder() == 1) png_set_bgr(png);
    c.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!c.rows) png_error(png, "out of memory for the row table");
    // libpng copies each row before transforming it: the pixels stay as they are.
    auto* pixels = reinterpret_cast<uint8_t*>(bitmap->pixels);
    for (png_uint_32 y = 0; y < height; ++y) c.rows[y] = pixels + static_cast<size_t>(y) * width * 4u;
    png_write_image(png, c.rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

namespace {

// One read of the data by a fresh libpng reader: `work` is runDecode or
// runHeader. Every failure is reported here, with the designed texts for a
// missing signature and a reader that cannot be made.
bool readWith(PngReadContext& c, bool (*work)(PngReadContext&, png_structp, png_infop)) {
    if (!hasPngSignature(c.data, c.size)) {
        api()->Log(1, "PNG ERROR: Image '%s' not proper png.", c.name);
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, readError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_read_struct(&png, nullptr, nullptr);
        api()->Log(1, "PNG ERROR: Image '%s' load failed.", c.name);
        return false;
    }
    const bool done = work(c, png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!done && !c.refused) api()->Log(1, "PNG ERROR: Image '%s' is damaged: %s.\n", c.name, c.reason);
    return done;
}

PngReadContext contextFor(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    PngReadContext c;
    c.data = data;
    c.size = size;
    c.name = name ? name : "(null)";
    c.bitmap = bitmap;
    return c;
}

}  // namespace

bool decodePng(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    PngReadContext context = contextFor(bitmap, data, size, name);
    const bool decoded = readWith(context, runDecode);
    std::free(context.rows);
    std::free(context.scratch);
    if (!decoded) resetDecodedImage(bitmap);
    return decoded;
}

bool readPngHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    PngReadContext context = contextFor(bitmap, data, size, name);
    return readWith(context, runHeader);
}

bool encodePngFile(const VozerBitmap* bitmap, ByteSink& out) {
    PngWriteContext context;
    context.sink = &out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, writeError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_write_struct(&png, nullptr);
        api()->Log(1, "PNG ERROR: unable to set up the PNG writer.\n");
        return false;
    }
    const bool encoded = runEncode(context, png, info, bitmap);
    png_destroy_write_struct(&png, &info);
    std::free(context.rows);
    return encoded;
}

}  // namespace vz::image
