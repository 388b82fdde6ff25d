// JPEG through libjpeg (the 6b interface of libjpeg-turbo): header, decoding
// from memory, encoding to memory.
//
// libjpeg's own error handler ends the process; ours jumps back to the setjmp
// of the call that started the work instead, and the libjpeg object is then
// destroyed, which frees everything libjpeg allocated. As with PNG, whatever
// must survive the jump lives in a context object outside the jumping
// function.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "api/engine_api.h"
#include "image/image_codec.h"

namespace vz::image {

namespace {

// A progressive file may repeat scans without end, each costing a pass over
// the whole image; real encoders use a dozen or so.
constexpr int MAX_SCANS = 500;
constexpr size_t OUTPUT_CHUNK = 64 * 1024;

// [SECTION] Errors and warnings

struct JpegErrors {
    jpeg_error_mgr pub;  // first: libjpeg sees only this part
    std::jmp_buf jump;
    bool truncated = false;
    bool tooManyScans = false;
    int code = 0;
    char reason[JMSG_LENGTH_MAX] = "";
};

[[noreturn]] void jumpBack(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->code = info->err->msg_code;
    (*info->err->format_message)(info, errors->reason);
    std::longjmp(errors->jump, 1);
}

// Library messages are counted or kept, never printed.
void printNothing(j_common_ptr) {}

void countWarning(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (info->err->msg_code == JWRN_JPEG_EOF) errors->truncated = true;
    ++info->err->num_warnings;
}

void installErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jumpBack;
    errors.pub.output_message = printNothing;
    errors.pub.emit_message = countWarning;
}

void limitScans(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MAX_SCANS) {
        auto* errors = reinterpret_cast<JpegErrors*>(info->err);
        errors->tooManyScans = true;
        std::longjmp(errors->jump, 1);
    }
}

// [SECTION] Decoding

struct JpegReadContext {
    jpeg_decompress_struct info{};
    JpegErrors errors;
    jpeg_progress_mgr progress{};
    bool created = false;
    VozerBitmap* bitmap = nullptr;
    const char* name = nullptr;
    uint8_t* scratch = nullptr;  // one row of CMYK samples
    bool refused = false;        // failed with a message of its own
};

// Adobe's CMYK JPEGs store the inks inverted (255 = no ink); others plainly.
void cmykRowToPixels(const uint8_t* in, uint8_t* out, size_t width, bool inverted, bool bgra) {
    for (size_t x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const auto r = static_cast<uint8_t>((c * k + 127) / 255);
        const auto g = static_cast<uint8_t>((m * k + 127) / 255);
        const auto b = static_cast<uint8_t>((y * k + 127) / 255);
        out[0] = bgra ? b : r;
        out[1] = g;
        out[2] = bgra ? r : b;
        out[3] = 0xFF;
    }
}

void startReading(JpegReadContext& c, const uint8_t* data, size_t size) {
    installErrors(c.errors);
    c.info.err = &c.errors.pub;
    jpeg_create_decompress(&c.info);
    c.created = true;
    c.progress.progress_monitor = limitScans;
    c.info.progress = &c.progress;
    // Bounds what progressive files keep in memory between scans; sizes are
    // checked before it matters, so this only stops what slips past them.
    int64_t limit = loaderSettings().maxPixels;
    if (limit <= 0 || limit > MAX_IMAGE_PIXELS) limit = MAX_IMAGE_PIXELS;
    c.info.mem->max_memory_to_use = static_cast<long>(limit * 8 + (int64_t{16} << 20));
    jpeg_mem_src(&c.info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&c.info, TRUE);
}

bool runDecode(JpegReadContext& c, const uint8_t* data, size_t size) {
    if (setjmp(c.errors.jump)) return false;
    startReading(c, data, size);
    if (!acceptImageSize(c.name, "JPEG", c.info.image_width, c.info.image_height)) {
        c.refused = true;
        return false;
    }
    const bool cmyk = c.info.jpeg_color_space == JCS_CMYK || c.info.jpeg_color_space == JCS_YCCK;
    const bool bgra = pixelByteOrder() == 1;
    // libjpeg-turbo writes R,G,B (or B,G,R) and an alpha of 255 straight into
    // the pixel memory; grey images come out with the grey in all three.
    c.info.out_color_space = cmyk ? JCS_CMYK : (bgra ? JCS_EXT_BGRA : JCS_EXT_RGBA);
    jpeg_start_decompress(&c.info);
    if (c.info.output_width != c.info.image_width || c.info.output_height != c.info.image_height ||
        c.info.output_components != 4) {
        api()->Log(1, "Load JPG - JPEG '%s' decodes to an unexpected layout.\n", c.name);
        c.refused = true;
        return false;
    }
    const auto width = static_cast<int32_t>(c.info.output_width);
    const auto height = static_cast<int32_t>(c.info.output_height);
    if (!allocateDecodedPixels(c.bitmap, width, height)) {
        c.refused = true;
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 4u;
    if (cmyk) {
        c.scratch = static_cast<uint8_t*>(std::malloc(rowBytes));
        if (!c.scratch) ERREXIT1(&c.info, JERR_OUT_OF_MEMORY, 0);
    }
    auto* pixels = reinterpret_cast<uint8_t*>(c.bitmap->pixels);
    while (c.info.output_scanline < c.info.output_height) {
        uint8_t* rowStart = pixels + static_cast<size_t>(c.info.output_scanline) * rowBytes;
        JSAMPROW row = cmyk ? c.scratch : rowStart;
        if (jpeg_read_scanlines(&c.info, &row, 1) != 1) break;
        if (cmyk) cmykRowToPixels(c.scratch, rowStart, static_cast<size_t>(width), c.info.saw_Adobe_marker, bgra);
    }
    jpeg_finish_decompress(&c.info);
    return true;
}

bool runHeader(JpegReadContext& c, const uint8_t* data, size_t size) {
    if (setjmp(c.errors.jump)) return false;
    startReading(c, data, size);
    c.bitmap->width = static_cast<int32_t>(c.info.image_width);
    c.bitmap->height = static_cast<int32_t>(c.info.image_height);
    return true;
}

// Reports the library's warnings, destroys the libjpeg object (which frees
// all it allocated) and the context.
void finishReading(JpegReadContext* c) {
    if (c->created && c->errors.pub.num_warnings > 0)
        api()->Log(1, "WARNING: %d warnings while loading JPEG\n", static_cast<int>(c->errors.pub.num_warnings));
    if (c->created) jpeg_destroy_decompress(&c->info);
    std::free(c->scratch);
    delete c;
}

// [SECTION] Encoding

struct JpegWriteContext {
    jpeg_compress_struct info{};
    JpegErrors errors;
    jpeg_destination_mgr destination{};
    bool created = false;
    ByteSink* sink = nullptr;
    JOCTET chunk[OUTPUT_CHUNK];
};

JpegWriteContext& writeContextOf(j_compress_ptr info) { return *static_cast<JpegWriteContext*>(info->client_data); }

void startChunk(j_compress_ptr info) {
    JpegWriteContext& c = writeContextOf(info);
    c.destination.next_output_byte = c.chunk;
    c.destination.free_in_buffer = OUTPUT_CHUNK;
}

boolean flushChunk(j_compress_ptr info) {
    JpegWriteContext& c = writeContextOf(info);
    appendBytes(*c.sink, c.chunk, OUTPUT_CHUNK);
    if (c.sink->failed) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    startChunk(info);
    return TRUE;
}

void flushLastChunk(j_compress_ptr info) {
    JpegWriteContext& c = writeContextOf(info);
    appendBytes(*c.sink, c.chunk, OUTPUT_CHUNK - c.destination.free_in_buffer);
    if (c.sink->failed) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
}

bool runEncode(JpegWriteContext& c, const VozerBitmap* bitmap, int32_t quality) {
    if (setjmp(c.errors.jump)) return false;
    installErrors(c.errors);
    c.info.err = &c.errors.pub;
    jpeg_create_compress(&c.info);
    c.created = true;
    c.info.client_data = &c;
    c.destination.init_destination = startChunk;
    c.destination.empty_output_buffer = flushChunk;
    c.destination.term_destination = flushLastChunk;
    c.info.dest = &c.destination;
    const auto width = static_cast<JDIMENSION>(pixelWidth(bitmap));
    const auto height = static_cast<JDIMENSION>(pixelHeight(bitmap));
    c.info.image_width = width;
    c.info.image_height = height;
    // The fourth byte (alpha) is skipped by libjpeg-turbo itself.
    c.info.input_components = 4;
    c.info.in_color_space = pixelByteOrder() == 1 ? JCS_EXT_BGRX : JCS_EXT_RGBX;
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, quality, TRUE);
    jpeg_start_compress(&c.info, TRUE);
    auto* pixels = reinterpret_cast<uint8_t*>(bitmap->pixels);
    while (c.info.next_scanline < height) {
        JSAMPROW row = pixels + static_cast<size_t>(c.info.next_scanline) * width * 4u;
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    return true;
}

}  // namespace

bool decodeJpeg(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    if (!name) name = "(null)";
    auto* c = new (std::nothrow) JpegReadContext;
    if (!c) {
        api()->Log(1, "Load JPG - JPEG out of memory while loading file\n");
        return false;
    }
    c->bitmap = bitmap;
    c->name = name;
    bool decoded = runDecode(*c, data, size);
    VozerEngineApi* engine = api();
    if (!decoded && !c->refused) {
        if (c->errors.tooManyScans) {
            engine->Log(1, "Load JPG - JPEG '%s' has more than %d scans.\n", name, MAX_SCANS);
        } else if (c->errors.code == JERR_OUT_OF_MEMORY) {
            engine->Log(1, "Load JPG - JPEG out of memory while loading file\n");
        } else {
            engine->Log(1, "Load JPG - setjmp failed.\n");
            engine->Log(1, "Load JPG - JPEG '%s': %s\n", name, c->errors.reason);
        }
    }
    if (decoded && c->errors.truncated) {
        engine->Log(1, "Load JPG - JPEG '%s' ends before its image data does.\n", name);
        decoded = false;
    }
    finishReading(c);
    if (!decoded) resetDecodedImage(bitmap);
    return decoded;
}

bool readJpegHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    auto* c = new (std::nothrow) JpegReadContext;
    if (!c) return false;
    c->bitmap = bitmap;
    c->name = name ? name : "(null)";
    const bool read = runHeader(*c, data, size);
    if (!read) api()->Log(1, "ZTI_GetImageDimensionsJPG - setjmp failed.\n");
    finishReading(c);
    return read;
}

bool encodeJpegFile(const VozerBitmap* bitmap, int32_t quality, ByteSink& out) {
    auto* c = new (std::nothrow) JpegWriteContext;
    if (!c) return false;
    c->sink = &out;
    const bool encoded = runEncode(*c, bitmap, quality);
    if (!encoded) api()->Log(1, "Save JPG - %s\n", c->errors.reason[0] ? c->errors.reason : "setjmp failed.");
    if (c->created) jpeg_destroy_compress(&c->info);
    delete c;
    return encoded;
}

}  // namespace vz::image
