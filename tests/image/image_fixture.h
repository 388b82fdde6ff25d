// The image tests run the real loader over the real file layer (res:// and
// user:// in fresh temporary folders, messages captured), with helpers to
// build image files by hand and to compare pixels whatever the byte order.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "../fs/fs_fixture.h"
#include "image/image_loader.h"

namespace vz::imagetest {

using fstest::captured;

using Bytes = std::vector<uint8_t>;

// Paths compiled in are the build host's; the Windows build under Wine
// reaches them through drive Z:.
inline std::string hostPath(const std::string& path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') return "Z:" + path;
#endif
    return path;
}

class ImageTest : public fstest::FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        rt().pixelByteOrder = 0;
        image::loaderSettings() = image::LoaderSettings{};
    }
    void TearDown() override {
        for (VozerBitmap& b : bitmaps_) std::free(b.pixels);
        image::loaderSettings() = image::LoaderSettings{};
        FsTest::TearDown();
    }

    // The loader's operation table, as a renderer plug-in calls it.
    static VozerImageLoader* loader() { return image::imageLoader(); }
    bool load(VozerBitmap* b, const char* path) { return loader()->ops->LoadImage(loader(), b, path) != 0; }
    bool save(VozerBitmap* b, const char* path, int quality = 90) {
        return loader()->ops->SaveImage(loader(), b, path, quality) != 0;
    }

    // A zeroed bitmap record that lives until the end of the test.
    VozerBitmap* bitmap(const char* name = "picture") {
        bitmaps_.emplace_back();
        VozerBitmap* b = &bitmaps_.back();
        std::memset(b, 0, sizeof *b);
        b->name = const_cast<char*>(name);
        return b;
    }

    // A bitmap holding these R,G,B,A bytes, stored in the byte order in force.
    VozerBitmap* bitmapOf(int32_t width, int32_t height, const Bytes& rgba) {
        VozerBitmap* b = bitmap();
        image::allocateImagePixels(b, width, height);
        auto* p = reinterpret_cast<uint8_t*>(b->pixels);
        for (size_t i = 0; i < rgba.size(); i += 4) {
            const bool bgra = rt().pixelByteOrder == 1;
            p[i] = rgba[bgra ? i + 2 : i];
            p[i + 1] = rgba[i + 1];
            p[i + 2] = rgba[bgra ? i : i + 2];
            p[i + 3] = rgba[i + 3];
        }
        return b;
    }

    // The bitmap's pixels as R,G,B,A bytes, whatever the byte order in force.
    static Bytes rgbaOf(const VozerBitmap* b) {
        const size_t count = static_cast<size_t>(b->dataWidth) * static_cast<size_t>(b->dataHeight) * 4;
        Bytes out(reinterpret_cast<const uint8_t*>(b->pixels), reinterpret_cast<const uint8_t*>(b->pixels) + count);
        if (rt().pixelByteOrder == 1)
            for (size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
        return out;
    }

    // A test pattern of every alpha level and strong colour edges.
    static Bytes pattern(int32_t width, int32_t height) {
        Bytes out;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                out.push_back(static_cast<uint8_t>(x * 37 + y * 11));
                out.push_back(static_cast<uint8_t>(y * 53));
                out.push_back(static_cast<uint8_t>((x ^ y) * 29));
                out.push_back(static_cast<uint8_t>((x + y * width) * 7 + 1));
            }
        return out;
    }

    // A PNG file written by libpng's simplified writer, independent of the
    // loader's own: `format` is PNG_FORMAT_GRAY, _GA, _RGB or _RGBA.
    static Bytes pngFile(int32_t width, int32_t height, uint32_t format, const Bytes& samples) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(width);
        image.height = static_cast<png_uint_32>(height);
        image.format = format;
        png_alloc_size_t size = 0;
        EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, nullptr));
        Bytes out(size);
        EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, nullptr));
        out.resize(size);
        return out;
    }

    // A PNG chunk with its length and CRC.
    static void appendChunk(Bytes& file, const char* kind, const Bytes& body) {
        const uint32_t length = static_cast<uint32_t>(body.size());
        for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(length >> shift));
        Bytes typed(kind, kind + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        file.insert(file.end(), typed.begin(), typed.end());
        const uLong crc = crc32(0, typed.data(), static_cast<uInt>(typed.size()));
        for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(crc >> shift));
    }
    // A PNG file from its IHDR fields and raw (filter byte included) scanlines.
    static Bytes pngByHand(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, const Bytes& raw) {
        Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        Bytes ihdr;
        for (uint32_t v : {width, height})
            for (int shift = 24; shift >= 0; shift -= 8) ihdr.push_back(static_cast<uint8_t>(v >> shift));
        ihdr.insert(ihdr.end(), {depth, colour, 0, 0, 0});
        appendChunk(file, "IHDR", ihdr);
        uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
        Bytes packed(packedSize);
        EXPECT_EQ(compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
        packed.resize(packedSize);
        appendChunk(file, "IDAT", packed);
        appendChunk(file, "IEND", {});
        return file;
    }

    // Write bytes as a file below res://.
    void put(const std::string& name, const Bytes& bytes) { writeRes(name, std::string(bytes.begin(), bytes.end())); }
    // A file's bytes by operating-system path (build-host paths work under Wine too).
    static Bytes readHostFile(const std::string& path) {
        std::string bytes = readOs(hostPath(path));
        return Bytes(bytes.begin(), bytes.end());
    }
    // FNV-1a 64, the hash the kept reference list uses.
    static uint64_t fnv1a(const Bytes& bytes) {
        uint64_t h = 0xCBF29CE484222325ull;
        for (uint8_t b : bytes) h = (h ^ b) * 0x100000001B3ull;
        return h;
    }

    // Messages of a slot containing `part`.
    static size_t countIn(const char* slot, const std::string& part) {
        size_t n = 0;
        for (const std::string& text : texts(slot))
            if (text.find(part) != std::string::npos) ++n;
        return n;
    }

private:
    std::deque<VozerBitmap> bitmaps_;
};

}  // namespace vz::imagetest
