// TGA: the loader's own decoder (true-colour images, uncompressed or
// run-length encoded, 24 or 32 bits, either row order) and the 32-bit writer.
#include <cstdlib>
#include <cstring>

#include "api/engine_api.h"
#include "image/image_codec.h"

namespace vz::image {

namespace {

constexpr size_t HEADER_BYTES = 18;
constexpr uint8_t TYPE_TRUE_COLOUR = 2;
constexpr uint8_t TYPE_TRUE_COLOUR_RLE = 10;
constexpr uint8_t DESCRIPTOR_RIGHT_TO_LEFT = 0x10;
constexpr uint8_t DESCRIPTOR_TOP_DOWN = 0x20;

struct TgaHeader {
    uint8_t idLength, colourMapType, imageType;
    int32_t width, height;
    uint8_t bitsPerPixel, descriptor;
};

TgaHeader parseHeader(const uint8_t* data) {
    TgaHeader h{};
    h.idLength = data[0];
    h.colourMapType = data[1];
    h.imageType = data[2];
    h.width = data[12] | (data[13] << 8);
    h.height = data[14] | (data[15] << 8);
    h.bitsPerPixel = data[16];
    h.descriptor = data[17];
    return h;
}

// Where decoded pixels go: the file's pixels one after another, each at its
// place in memory, whose rows always run top to bottom whatever the file's
// row order.
class PixelWriter {
public:
    PixelWriter(uint32_t* pixels, size_t width, size_t height, bool bottomUp, bool bgra)
        : pixels_(reinterpret_cast<uint8_t*>(pixels)),
          width_(width),
          height_(height),
          bottomUp_(bottomUp),
          bgra_(bgra) {
        startRow();
    }

    size_t count() const { return width_ * height_; }
    size_t written() const { return written_; }

    void put(const uint8_t* filePixel, size_t bytesPerPixel) {
        out_[bgra_ ? 0 : 2] = filePixel[0];
        out_[1] = filePixel[1];
        out_[bgra_ ? 2 : 0] = filePixel[2];
        out_[3] = bytesPerPixel == 4 ? filePixel[3] : 0xFF;
        out_ += 4;
        ++written_;
        if (++x_ == width_ && written_ < count()) startRow();
    }

private:
    void startRow() {
        const size_t fileRow = written_ / width_;
        out_ = pixels_ + (bottomUp_ ? height_ - 1 - fileRow : fileRow) * width_ * 4;
        x_ = 0;
    }

    uint8_t* pixels_;
    size_t width_, height_;
    bool bottomUp_, bgra_;
    uint8_t* out_ = nullptr;
    size_t x_ = 0, written_ = 0;
};

// Run-length packets, each a count byte and then that many pixels (raw) or
// one pixel to repeat (run). A packet may run on into the next row; one that
// would write past the image is cut there with the overrun message, and
// decoding stops. False when the data ends before the image is full.
bool decodeRunLength(PixelWriter& out, const uint8_t* in, size_t available, size_t bytesPerPixel) {
    size_t cursor = 0;
    const bool orderOne = pixelByteOrder() == 1;
    while (out.written() < out.count()) {
        if (cursor >= available) return false;
        const uint8_t packet = in[cursor++];
        const size_t n = (packet & 0x7F) + 1u;
        const bool run = packet >= 0x80;
        for (size_t k = 0; k < n; ++k) {
            if (out.written() >= out.count()) {
                const int left = static_cast<int>(n - k);
                if (run)
                    api()->Log(2, orderOne ? "TGA buffer overrun #4: (%d)\n" : "TGA buffer overrun #2: (%d)\n", left);
                else
                    api()->Log(2, orderOne ? "TGA buffer overrun #3: (%d)\n" : "TGA buffer overrun #1: (%d)\n", left);
                return true;
            }
            if ((!run || k == 0) && bytesPerPixel > available - cursor) return false;
            out.put(in + cursor, bytesPerPixel);
            if (!run) cursor += bytesPerPixel;
        }
        if (run) cursor += bytesPerPixel;
    }
    return true;
}

void mirrorRows(uint32_t* pixels, size_t width, size_t height) {
    for (size_t y = 0; y < height; ++y) {
        uint32_t* row = pixels + y * width;
        for (size_t a = 0, b = width - 1; a < b; ++a, --b) {
            const uint32_t t = row[a];
            row[a] = row[b];
            row[b] = t;
        }
    }
}

}  // namespace

bool readTgaHeader(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    if (size < HEADER_BYTES) {
        api()->Log(1, "TGA ERROR: Image '%s' is shorter than a TGA header.\n", name ? name : "(null)");
        return false;
    }
    const TgaHeader h = parseHeader(data);
    bitmap->width = h.width;
    bitmap->height = h.height;
    bitmap->flags |= VZ_BITMAP_HAS_ALPHA | VZ_BITMAP_RELOADABLE;
    return true;
}

bool decodeTga(VozerBitmap* bitmap, const uint8_t* data, size_t size, const char* name) {
    if (!name) name = "(null)";
    if (size < HEADER_BYTES) {
        api()->Log(1, "TGA ERROR: Image '%s' is shorter than a TGA header.\n", name);
        return false;
    }
    const TgaHeader h = parseHeader(data);
    if (h.colourMapType != 0 || (h.imageType != TYPE_TRUE_COLOUR && h.imageType != TYPE_TRUE_COLOUR_RLE) ||
        (h.bitsPerPixel != 24 && h.bitsPerPixel != 32)) {
        api()->Log(1,
                   "TGA ERROR: Image '%s' has image type %d, colour map type %d and %d bits a pixel; only true "
                   "colour images (types 2 and 10, no colour map) of 24 or 32 bits are read.\n",
                   name, h.imageType, h.colourMapType, h.bitsPerPixel);
        return false;
    }
    if (!acceptImageSize(name, "TGA", h.width, h.height)) return false;
    const size_t start = HEADER_BYTES + h.idLength;
    if (start > size) {
        api()->Log(1, "TGA ERROR: Image '%s' ends inside its id field.\n", name);
        return false;
    }
    if (!allocateDecodedPixels(bitmap, h.width, h.height)) return false;
    bitmap->flags |= VZ_BITMAP_HAS_ALPHA | VZ_BITMAP_RELOADABLE;

    const size_t bytesPerPixel = h.bitsPerPixel / 8u;
    PixelWriter out(bitmap->pixels, static_cast<size_t>(h.width), static_cast<size_t>(h.height),
                    (h.descriptor & DESCRIPTOR_TOP_DOWN) == 0, pixelByteOrder() == 1);
    const uint8_t* in = data + start;
    const size_t available = size - start;
    bool complete = true;
    if (h.imageType == TYPE_TRUE_COLOUR) {
        const size_t present = available / bytesPerPixel;
        complete = present >= out.count();
        for (size_t i = 0, n = complete ? out.count() : present; i < n; ++i)
            out.put(in + i * bytesPerPixel, bytesPerPixel);
    } else {
        complete = decodeRunLength(out, in, available, bytesPerPixel);
    }
    if (!complete) {
        api()->Log(1, "TGA ERROR: Image '%s' ends after %lld of its %lld pixels.\n", name,
                   static_cast<long long>(out.written()), static_cast<long long>(out.count()));
        resetDecodedImage(bitmap);
        return false;
    }
    if (h.descriptor & DESCRIPTOR_RIGHT_TO_LEFT)
        mirrorRows(bitmap->pixels, static_cast<size_t>(h.width), static_cast<size_t>(h.height));
    return true;
}

bool encodeTgaFile(const VozerBitmap* bitmap, ByteSink& out) {
    const int32_t width = pixelWidth(bitmap), height = pixelHeight(bitmap);
    if (width > 0xFFFF || height > 0xFFFF) {
        api()->Log(1, "TGA ERROR: %dx%d pixels do not fit a TGA file.\n", width, height);
        return false;
    }
    uint8_t header[HEADER_BYTES] = {};
    header[2] = TYPE_TRUE_COLOUR;
    header[12] = static_cast<uint8_t>(width & 0xFF);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height & 0xFF);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = 32;
    header[17] = 8;  // eight alpha bits, rows bottom to top
    appendBytes(out, header, sizeof header);
    const bool bgra = pixelByteOrder() == 1;
    const size_t rowBytes = static_cast<size_t>(width) * 4u;
    uint8_t* row = static_cast<uint8_t*>(std::malloc(rowBytes));
    if (!row) return false;
    const auto* pixels = reinterpret_cast<const uint8_t*>(bitmap->pixels);
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint8_t* in = pixels + static_cast<size_t>(y) * rowBytes;
        if (bgra) {
            std::memcpy(row, in, rowBytes);
        } else {
            for (size_t i = 0; i < rowBytes; i += 4) {
                row[i] = in[i + 2];
                row[i + 1] = in[i + 1];
                row[i + 2] = in[i];
                row[i + 3] = in[i + 3];
            }
        }
        appendBytes(out, row, rowBytes);
    }
    std::free(row);
    return !out.failed;
}

}  // namespace vz::image
