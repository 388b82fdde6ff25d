// Decoding PNG and JPEG files through the loader's LoadImage (the file read
// whole through the engine's file slots from memory, the format chosen, the
// pixels made in the D3D8 byte order) against the libraries' own simplified
// decoders on the same bytes in the same run: libpng's png_image API and
// libjpeg-turbo's TurboJPEG API, both asked for B,G,R,A pixels. The ratio
// (reference time / loader time: the loader's share of the libraries'
// speed) is printed per file at the end; the goal is at least 0.9.
#include <benchmark/benchmark.h>
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "compare.h"
#include "fs/files.h"
#include "image/image_loader.h"
#include "state/runtime_state.h"

namespace {

using Bytes = std::vector<uint8_t>;

int32_t quietPrint(const char*, ...) { return 0; }
int32_t quietLevel(int32_t, const char*, ...) { return 0; }

// A photograph-like picture: smooth gradients, soft shapes and a little
// noise, so that neither compressor has it easy.
Bytes picture(int width, int height, int channels) {
    Bytes out;
    out.reserve(static_cast<size_t>(width) * height * channels);
    uint32_t noise = 2463534242u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const double r = std::hypot(x - width * 0.4, y - height * 0.6) / width;
            const int grain = static_cast<int>(noise & 7) - 4;
            const int v[4] = {static_cast<int>(128 + 100 * std::sin(r * 12)) + grain, x * 255 / width + grain,
                              y * 255 / height - grain, r < 0.3 ? 255 : static_cast<int>(255 * (1 - r))};
            for (int c = 0; c < channels; ++c) out.push_back(static_cast<uint8_t>(std::clamp(v[c], 0, 255)));
        }
    return out;
}

Bytes pngOf(int width, int height, uint32_t format, int channels) {
    const Bytes samples = picture(width, height, channels);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, nullptr);
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, nullptr)) std::abort();
    out.resize(size);
    return out;
}

Bytes jpegOf(int width, int height, int subsampling, int quality) {
    const Bytes samples = picture(width, height, 3);
    tjhandle encoder = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (tjCompress2(encoder, samples.data(), width, 0, height, TJPF_RGB, &data, &size, subsampling, quality, 0) != 0)
        std::abort();
    Bytes out(data, data + size);
    tjFree(data);
    tjDestroy(encoder);
    return out;
}

struct Files {
    std::map<std::string, Bytes> bytes;

    Files() {
        vz::resetRuntimeState();
        vz::fillEngineApi();
        VozerEngineApi* t = vz::api();
        t->Print = &quietPrint;
        t->Log = &quietLevel;
        t->Popup = &quietLevel;
        t->OpenFile = &openFile;
        t->CloseFile = &closeFile;
        vz::rt().pixelByteOrder = 1;
        bytes["photo_rgba.png"] = pngOf(1024, 768, PNG_FORMAT_RGBA, 4);
        bytes["photo_rgb.png"] = pngOf(1024, 768, PNG_FORMAT_RGB, 3);
        bytes["mask_grey.png"] = pngOf(1024, 768, PNG_FORMAT_GRAY, 1);
        bytes["photo_420.jpg"] = jpegOf(1024, 768, TJSAMP_420, 90);
        bytes["photo_444.jpg"] = jpegOf(1024, 768, TJSAMP_444, 95);
    }

    // The file slots over the bytes above: handles on memory, as a pak entry
    // already read would be.
    static VozerFile* openFile(const char* name, const char*) {
        auto it = instance().bytes.find(name);
        if (it == instance().bytes.end()) return nullptr;
        return vz::fs::makeHandle(new vz::fs::MemoryFile(name, it->second.data(), it->second.size()));
    }
    static void closeFile(VozerFile* file) { vz::fs::destroyHandle(file); }

    static Files& instance() {
        static Files files;
        return files;
    }
};

void loaderDecode(benchmark::State& state, const std::string& name) {
    Files::instance();
    for (auto _ : state) {
        VozerBitmap bitmap{};
        if (!vz::image::loadImage(&bitmap, name.c_str())) {
            state.SkipWithError("LoadImage failed");
            return;
        }
        benchmark::DoNotOptimize(bitmap.pixels);
        vz::image::freeImagePixels(&bitmap);
    }
}

void libpngSimplified(benchmark::State& state, const std::string& name) {
    const Bytes& file = Files::instance().bytes[name];
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
            state.SkipWithError("png_image_begin_read_from_memory failed");
            return;
        }
        image.format = PNG_FORMAT_BGRA;
        void* pixels = std::malloc(PNG_IMAGE_SIZE(image));
        if (!pixels || !png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
            std::free(pixels);
            state.SkipWithError("png_image_finish_read failed");
            return;
        }
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

void turboJpeg(benchmark::State& state, const std::string& name) {
    const Bytes& file = Files::instance().bytes[name];
    for (auto _ : state) {
        tjhandle decoder = tjInitDecompress();
        int width = 0, height = 0, subsampling = 0, colourspace = 0;
        tjDecompressHeader3(decoder, file.data(), file.size(), &width, &height, &subsampling, &colourspace);
        void* pixels = std::malloc(static_cast<size_t>(width) * height * 4);
        if (!pixels || tjDecompress2(decoder, file.data(), file.size(), static_cast<unsigned char*>(pixels), width, 0,
                                     height, TJPF_BGRA, 0) != 0) {
            std::free(pixels);
            tjDestroy(decoder);
            state.SkipWithError("tjDecompress2 failed");
            return;
        }
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
        tjDestroy(decoder);
    }
}

// One pair per file: LoadImage against the reference decoder of its format.
void registerDecodeBenchmarks() {
    for (const auto& [name, bytes] : Files::instance().bytes) {
        const bool png = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
        const std::string measured = "LoadImage/" + name;
        const std::string reference = (png ? "libpng_simplified/" : "turbojpeg/") + name;
        benchmark::RegisterBenchmark(measured.c_str(), loaderDecode, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(reference.c_str(), png ? libpngSimplified : turboJpeg, name)
            ->Unit(benchmark::kMillisecond);
        vzbench::declareComparison(measured.c_str(), reference.c_str(), "");
    }
}
VOZER_BENCH_SETUP(registerDecodeBenchmarks);

}  // namespace
