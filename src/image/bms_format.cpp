// The ".bms" bitmap sequence file: reading and writing it in memory, and the
// run-length pixel block used inside it.
//
// Layout (integers little-endian): the 13-byte magic "ZT_Bm_Seq_v1\0", the
// frame count N, the 4-byte encoding "RGBA", then either one "ATLAS" chunk
// (N frame entries and one atlas image) or N "FRAME" chunks (each frame's
// size, number, rate and run-length pixels). A chunk starts with an 8-byte
// zero-filled tag and an int32 written as 0.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "image/atlas_packer.h"
#include "image/bitmap_sequence.h"
#include "image/image_codec.h"
#include "state/runtime_state.h"

namespace vz::image {

namespace {

constexpr char MAGIC[13] = "ZT_Bm_Seq_v1";
constexpr size_t TAG_SIZE = 8;
constexpr size_t IMAGE_TAG_SIZE = 4;
constexpr size_t ATLAS_ENTRY_SIZE = 32;     // width, height, number, rate, 4 floats
constexpr size_t FRAME_HEADER_SIZE = 16;    // width, height, number, rate
constexpr size_t RUN_SIZE = 5;              // count, B, G, R, A
constexpr size_t RUN_HEADER_SIZE = 8;       // width, height
constexpr int32_t MAX_RUN = 255;
// The least a FRAME chunk takes: tag, zero word, header, "RLE\0", block
// header and one run. A claimed frame count is checked against this.
constexpr size_t MIN_FRAME_CHUNK = TAG_SIZE + 4 + FRAME_HEADER_SIZE + IMAGE_TAG_SIZE + RUN_HEADER_SIZE + RUN_SIZE;

// [SECTION] Reading bytes

// A cursor over the file's bytes; every read checks what is left, so no
// size written in the file can make the reader look past the data.
struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    size_t left() const { return size - at; }
    bool take(void* out, size_t n) {
        if (n > left()) return false;
        std::memcpy(out, data + at, n);
        at += n;
        return true;
    }
    bool int32(int32_t* out) {
        uint8_t b[4];
        if (!take(b, 4)) return false;
        *out = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
        return true;
    }
    bool float32(float* out) {
        int32_t bits;
        if (!int32(&bits)) return false;
        std::memcpy(out, &bits, 4);
        return true;
    }
    // A tag of n bytes, kept zero-terminated for comparing and messages.
    bool tag(char* out, size_t n) {
        if (!take(out, n)) return false;
        out[n] = '\0';
        return true;
    }
};

void putInt32(ByteSink& out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    appendBytes(out, b, 4);
}

void putFloat(ByteSink& out, float value) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    putInt32(out, bits);
}

void putTag(ByteSink& out, const char* tag, size_t size) {
    char padded[TAG_SIZE] = {};
    std::strncpy(padded, tag, size);
    appendBytes(out, padded, size);
}

char* copyName(const char* text) {
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

// [SECTION] Reading a sequence

bool sane(const char* name, int32_t width, int32_t height) {
    if (width >= 1 && height >= 1 && width <= MAX_IMAGE_SIDE && height <= MAX_IMAGE_SIDE) return true;
    api()->Log(1, "Bitmap sequence '%s' has a frame of %dx%d pixels; frames are 1 to %d pixels a side.\n", name, width,
               height, MAX_IMAGE_SIDE);
    return false;
}

// A texture coordinate of the atlas: finite and inside it.
bool saneCoordinate(float value) { return std::isfinite(value) && value >= 0.0f && value <= 1.0f; }

class SequenceReader {
public:
    SequenceReader(VozerBitmap* sequence, const uint8_t* data, size_t size, const char* name)
        : seq_(sequence), in_{data, size}, name_(name) {}

    bool read() {
        char magic[sizeof MAGIC];
        if (!in_.take(magic, sizeof magic) || std::memcmp(magic, MAGIC, sizeof MAGIC) != 0) {
            api()->Popup(1, "Bad header in bitmap sequence '%s'\n", name_);
            return false;
        }
        char encoding[5];
        if (!in_.int32(&count_) || !in_.tag(encoding, 4)) return truncated();
        // Every frame takes bytes of the file, so a count the rest of the file
        // cannot hold is a lie, refused before any record is made.
        const size_t leastPerFrame = ATLAS_ENTRY_SIZE < MIN_FRAME_CHUNK ? ATLAS_ENTRY_SIZE : MIN_FRAME_CHUNK;
        if (count_ < 1 || count_ > MAX_SEQUENCE_FRAMES || static_cast<size_t>(count_) > in_.left() / leastPerFrame) {
            api()->Log(1, "Bitmap sequence '%s' claims %d frames, which its %lld bytes cannot hold.\n", name_, count_,
                       static_cast<long long>(in_.size));
            return false;
        }
        seq_->frames = static_cast<VozerBitmap*>(std::calloc(static_cast<size_t>(count_), sizeof(VozerBitmap)));
        if (!seq_->frames) return false;
        seq_->frameCount = count_;
        for (int32_t i = 0; i < count_; ++i) {
            VozerBitmap& frame = seq_->frames[i];
            frame.lock = seq_->lock;
            frame.packMode = seq_->packMode;
            frame.cacheMode = seq_->cacheMode;
            frame.flags = VZ_BITMAP_HAS_ALPHA;
            char frameName[64];
            std::snprintf(frameName, sizeof frameName, "#%.4d", i);
            frame.name = copyName((std::string(name_) + frameName).c_str());
        }
        while (in_.left() > 0) {
            char tag[TAG_SIZE + 1];
            int32_t zero;
            if (!in_.tag(tag, TAG_SIZE) || !in_.int32(&zero)) return truncated();
            if (std::strcmp(tag, "ATLAS") == 0) return readAtlas();  // the atlas image ends the file
            if (std::strcmp(tag, "FRAME") != 0) return unknownChunk(tag);
            if (!readFrame()) return false;
        }
        if (framesRead_ < count_) {
            api()->Log(1, "Bitmap sequence '%s' ends after %d of its %d frames.\n", name_, framesRead_, count_);
            return false;
        }
        return true;
    }

private:
    bool truncated() {
        api()->Log(1, "Bitmap sequence '%s' ends in the middle of its data.\n", name_);
        return false;
    }

    bool unknownChunk(const char* tag) {
        api()->Popup(1, "unimplemented chunk: '%s'\n", tag);
        return false;
    }

    // Pixels a sequence may hold in all, so that many frames each of an
    // allowed size cannot together exhaust memory.
    bool withinBudget(const VozerBitmap& image) {
        int64_t limit = loaderSettings().maxPixels;
        if (limit <= 0 || limit > MAX_IMAGE_PIXELS) limit = MAX_IMAGE_PIXELS;
        pixelsHeld_ += static_cast<int64_t>(pixelWidth(&image)) * pixelHeight(&image);
        if (pixelsHeld_ <= limit) return true;
        api()->Log(1, "Bitmap sequence '%s' holds more than %lld pixels.\n", name_, static_cast<long long>(limit));
        return false;
    }

    bool readFrame() {
        if (framesRead_ >= count_) {
            api()->Log(1, "Bitmap sequence '%s' holds more frames than the %d it claims.\n", name_, count_);
            return false;
        }
        VozerBitmap& frame = seq_->frames[framesRead_];
        int32_t width, height;
        char encoding[IMAGE_TAG_SIZE + 1];
        if (!in_.int32(&width) || !in_.int32(&height) || !in_.int32(&frame.frameNumber) ||
            !in_.float32(&frame.framesPerSecond) || !in_.tag(encoding, IMAGE_TAG_SIZE))
            return truncated();
        if (!sane(name_, width, height)) return false;
        if (std::strcmp(encoding, "RLE") != 0) {
            api()->Popup(1, "encoding: '%s'\n", encoding);
            return unknownChunk(encoding);
        }
        size_t used = 0;
        if (!decodeRunLength(&frame, in_.data + in_.at, in_.left(), &used, name_)) return false;
        in_.at += used;
        if (frame.dataWidth != width || frame.dataHeight != height) {
            api()->Log(1, "Bitmap sequence '%s' frame %d says %dx%d but holds %dx%d pixels.\n", name_, framesRead_,
                       width, height, frame.dataWidth, frame.dataHeight);
            return false;
        }
        frame.flags |= VZ_BITMAP_HAS_ALPHA;
        ++framesRead_;
        return withinBudget(frame);
    }

    bool readAtlas() {
        for (int32_t i = 0; i < count_; ++i) {
            VozerBitmap& frame = seq_->frames[i];
            VozerHardwareData& hw = frame.hw;
            if (!in_.int32(&frame.width) || !in_.int32(&frame.height) || !in_.int32(&frame.frameNumber) ||
                !in_.float32(&frame.framesPerSecond) || !in_.float32(&hw.uLeft) || !in_.float32(&hw.vTop) ||
                !in_.float32(&hw.uRight) || !in_.float32(&hw.vBottom))
                return truncated();
            if (!sane(name_, frame.width, frame.height)) return false;
            if (!saneCoordinate(hw.uLeft) || !saneCoordinate(hw.vTop) || !saneCoordinate(hw.uRight) ||
                !saneCoordinate(hw.vBottom) || hw.uLeft > hw.uRight || hw.vTop > hw.vBottom) {
                api()->Log(1, "Bitmap sequence '%s' places frame %d outside its atlas.\n", name_, i);
                return false;
            }
            frame.dataWidth = frame.width;
            frame.dataHeight = frame.height;
        }
        auto* atlas = static_cast<VozerBitmap*>(std::calloc(1, sizeof(VozerBitmap)));
        if (!atlas) return false;
        seq_->atlas = atlas;
        atlas->name = copyName(name_);
        atlas->lock = seq_->lock;
        atlas->cacheMode = seq_->cacheMode;
        atlas->packMode = VZ_NO_PADDING;
        atlas->loadState = 3;

        char encoding[IMAGE_TAG_SIZE + 1];
        if (!in_.tag(encoding, IMAGE_TAG_SIZE)) return truncated();
        if (std::strcmp(encoding, "PNG") == 0) {
            int32_t length;
            if (!in_.int32(&length)) return truncated();
            if (length < 0 || static_cast<size_t>(length) > in_.left()) {
                api()->Log(1, "Bitmap sequence '%s' claims an atlas image of %d bytes; %lld are left.\n", name_,
                           length, static_cast<long long>(in_.left()));
                return false;
            }
            if (!decodeImage(atlas, in_.data + in_.at, static_cast<size_t>(length), ImageFormat::Png, name_))
                return false;
        } else if (std::strcmp(encoding, "RLE") == 0) {
            size_t used = 0;
            if (!decodeRunLength(atlas, in_.data + in_.at, in_.left(), &used, name_)) return false;
        } else {
            api()->Popup(1, "encoding: '%s'\n", encoding);
            return unknownChunk(encoding);
        }
        atlas->flags |= VZ_BITMAP_HAS_ALPHA;
        for (int32_t i = 0; i < count_; ++i) seq_->frames[i].flags |= atlas->flags & VZ_BITMAP_HAS_ALPHA;
        return withinBudget(*atlas);
    }

    VozerBitmap* seq_;
    Cursor in_;
    const char* name_;
    int32_t count_ = 0;
    int32_t framesRead_ = 0;
    int64_t pixelsHeld_ = 0;
};

// [SECTION] Writing a sequence

// The frame whose image `frames[j]` shows: its `sameAs` when that is an
// earlier frame of this sequence, else itself. A `sameAs` that points
// forward, at the frame itself or outside the array cannot be written (the
// file names shared images only backwards), so it is not followed.
int32_t ownerOf(const VozerBitmap* sequence, int32_t j) {
    const VozerBitmap* frames = sequence->frames;
    for (int32_t guard = 0; guard <= j; ++guard) {
        const VozerBitmap* same = frames[j].sameAs;
        if (!same || same < frames || same >= frames + j) return j;
        j = static_cast<int32_t>(same - frames);
    }
    return j;
}

void putFrameHeader(ByteSink& out, const VozerBitmap& frame) {
    putInt32(out, frame.width);
    putInt32(out, frame.height);
    putInt32(out, frame.frameNumber);
    putFloat(out, frame.framesPerSecond);
}

}  // namespace

// [SECTION] The run-length block

void encodeRunLength(const VozerBitmap* bitmap, ByteSink& out) {
    const int32_t width = pixelWidth(bitmap), height = pixelHeight(bitmap);
    putInt32(out, width);
    putInt32(out, height);
    const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);
    const bool bgra = pixelByteOrder() == 1;
    const uint32_t* pixels = bitmap->pixels;
    for (size_t i = 0; i < total;) {
        size_t run = 1;
        while (i + run < total && run < MAX_RUN && pixels[i + run] == pixels[i]) ++run;
        const auto* p = reinterpret_cast<const uint8_t*>(pixels + i);
        const uint8_t record[RUN_SIZE] = {static_cast<uint8_t>(run), bgra ? p[0] : p[2], p[1], bgra ? p[2] : p[0],
                                          p[3]};
        appendBytes(out, record, RUN_SIZE);
        i += run;
    }
}

bool decodeRunLength(VozerBitmap* bitmap, const uint8_t* data, size_t size, size_t* used, const char* name) {
    *used = 0;
    resetDecodedImage(bitmap);
    Cursor in{data, size};
    int32_t width, height;
    if (!in.int32(&width) || !in.int32(&height)) {
        api()->Log(1, "Bitmap sequence '%s' ends in the middle of its data.\n", name);
        return false;
    }
    if (!acceptImageSize(name, "RLE", width, height)) return false;
    const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);
    // The runs left in the data cover at most 255 pixels each: a block that
    // could not be filled is refused before its memory is taken.
    if (total > in.left() / RUN_SIZE * MAX_RUN) {
        api()->Log(1, "Bitmap sequence '%s' ends inside a %dx%d run-length block.\n", name, width, height);
        return false;
    }
    if (!allocateDecodedPixels(bitmap, width, height)) return false;
    const bool bgra = pixelByteOrder() == 1;
    size_t filled = 0;
    bool overrun = false;
    while (filled < total) {
        uint8_t run[RUN_SIZE];
        if (!in.take(run, RUN_SIZE) || run[0] == 0) {
            api()->Log(1, "Bitmap sequence '%s' has a broken run-length block (%lld of %lld pixels).\n", name,
                       static_cast<long long>(filled), static_cast<long long>(total));
            resetDecodedImage(bitmap);
            return false;
        }
        uint32_t pixel;
        const uint8_t bytes[4] = {bgra ? run[1] : run[3], run[2], bgra ? run[3] : run[1], run[4]};
        std::memcpy(&pixel, bytes, 4);
        size_t count = run[0];
        if (count > total - filled) {
            count = total - filled;  // the block is full: the rest of the run is dropped
            overrun = true;
        }
        for (size_t k = 0; k < count; ++k) bitmap->pixels[filled + k] = pixel;
        filled += count;
    }
    if (overrun) api()->Log(1, "Bitmap sequence '%s' has a run past the end of its %dx%d block.\n", name, width, height);
    *used = in.at;
    return true;
}

// [SECTION] Whole files

bool readBitmapSequence(VozerBitmap* sequence, const uint8_t* data, size_t size, const char* name) {
    if (!sequence) return false;
    freeSequence(sequence);
    const char* label = name ? name : "(null)";
    SequenceReader reader(sequence, data, data ? size : 0, label);
    if (reader.read()) return true;
    freeSequence(sequence);
    return false;
}

bool writeBitmapSequence(const VozerBitmap* sequence, const char* name, ByteSink& out) {
    const int32_t count = sequence->frameCount;
    std::vector<int32_t> owner(static_cast<size_t>(count));
    std::vector<VozerBitmap> images;  // copies of the distinct frames: packing must not move the live ones' texture
    std::vector<int32_t> imageOf(static_cast<size_t>(count), -1);
    for (int32_t j = 0; j < count; ++j) {
        owner[static_cast<size_t>(j)] = ownerOf(sequence, j);
        const VozerBitmap& frame = sequence->frames[owner[static_cast<size_t>(j)]];
        if (!frame.pixels || pixelWidth(&frame) < 1 || pixelHeight(&frame) < 1) {
            api()->Popup(1, "ZTI_SaveBitmapSequence: trying to save invalid bitmap to '%s'.", name);
            return false;
        }
        if (owner[static_cast<size_t>(j)] == j) {
            imageOf[static_cast<size_t>(j)] = static_cast<int32_t>(images.size());
            images.push_back(frame);
        }
    }

    VozerBitmap atlas{};
    const bool packed = rt().shared.atlasPacking != 0;
    if (packed) {
        std::vector<VozerBitmap*> sources;
        for (VozerBitmap& image : images) sources.push_back(&image);
        if (!ZTI_PackBitmaps(&atlas, sources.data(), static_cast<int32_t>(sources.size()))) {
            std::free(atlas.pixels);
            api()->Popup(1, "ZTI_SaveBitmapSequence: bitmaps didn't fit into atlas, not creating file '%s'.", name);
            return false;
        }
    }

    appendBytes(out, MAGIC, sizeof MAGIC);
    putInt32(out, count);
    appendBytes(out, "RGBA", 4);
    if (packed) {
        api()->Print("Writing bitmap sequence atlas.\n");
        putTag(out, "ATLAS", TAG_SIZE);
        putInt32(out, 0);
        for (int32_t j = 0; j < count; ++j) {
            const VozerBitmap& frame = sequence->frames[j];
            api()->Log(0, "Writing frame num %d - %d\n", j, frame.frameNumber);
            putFrameHeader(out, frame);
            const VozerHardwareData& place = images[static_cast<size_t>(imageOf[static_cast<size_t>(owner[static_cast<size_t>(j)])])].hw;
            putFloat(out, place.uLeft);
            putFloat(out, place.vTop);
            putFloat(out, place.uRight);
            putFloat(out, place.vBottom);
        }
        uint8_t* png = nullptr;
        size_t pngSize = 0;
        const bool encoded = encodePng(&atlas, &png, &pngSize);
        std::free(atlas.pixels);
        if (!encoded || pngSize > INT32_MAX) {
            freeEncoded(png);
            return false;
        }
        putTag(out, "PNG", IMAGE_TAG_SIZE);
        putInt32(out, static_cast<int32_t>(pngSize));
        appendBytes(out, png, pngSize);
        freeEncoded(png);
    } else {
        api()->Print("Writing bitmap sequence frames one by one.\n");
        for (int32_t j = 0; j < count; ++j) {
            const VozerBitmap& frame = sequence->frames[j];
            const VozerBitmap& image = sequence->frames[owner[static_cast<size_t>(j)]];
            api()->Print("Writing frame %.4d..\n", j);
            putTag(out, "FRAME", TAG_SIZE);
            putInt32(out, 0);
            // The header's size is the pixel block's, so the reader can check one by the other.
            VozerBitmap header = frame;
            header.width = pixelWidth(&image);
            header.height = pixelHeight(&image);
            putFrameHeader(out, header);
            putTag(out, "RLE", IMAGE_TAG_SIZE);
            encodeRunLength(&image, out);
        }
    }
    return !out.failed;
}

void freeSequence(VozerBitmap* sequence) {
    if (!sequence) return;
    for (int32_t i = 0; sequence->frames && i < sequence->frameCount; ++i) {
        VozerBitmap& frame = sequence->frames[i];
        if (!frame.sameAs) std::free(frame.pixels);
        std::free(frame.name);
        std::free(frame.sourceFile);
    }
    std::free(sequence->frames);
    if (VozerBitmap* atlas = sequence->atlas) {
        std::free(atlas->pixels);
        std::free(atlas->name);
        std::free(atlas->sourceFile);
        std::free(atlas);
    }
    sequence->frames = nullptr;
    sequence->frameCount = 0;
    sequence->atlas = nullptr;
    sequence->pixels = nullptr;
}

}  // namespace vz::image
