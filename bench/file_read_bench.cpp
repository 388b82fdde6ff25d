// Reading a 64 MB pak entry through a file handle in 64 KB blocks, against
// plain fread of the same bytes from a loose file, in the same run: the entry window,
// the opener chain and the handle must cost next to nothing over the stream.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "api/engine_api.h"
#include "compare.h"
#include "fs/files.h"
#include "fs/pak.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "bench_support.h"

namespace {

constexpr size_t ENTRY_SIZE = 64u << 20;
constexpr size_t BLOCK = 64u << 10;

struct Fixture {
    std::string dir;
    std::string loosePath;

    Fixture() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/vozer-bench-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        vz::bench::startQuietEngine();
        vz::fs::setTargetRoot(3, dir);
        vz::fs::setTargetRoot(1, dir);

        std::vector<uint8_t> bytes(ENTRY_SIZE);
        uint32_t x = 12345;
        for (auto& b : bytes) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 24);
        }
        loosePath = dir + "/loose.bin";
        write(loosePath, bytes.data(), bytes.size());
        // Neighbours on both sides, so the entry is a window in the middle of the pak.
        std::vector<vz::fs::PakSource> entries = {{"before", std::vector<uint8_t>(4096, 1)},
                                                   {"big.bin", std::move(bytes)},
                                                   {"after", std::vector<uint8_t>(4096, 2)}};
        std::vector<uint8_t> pak = vz::fs::buildPak(entries);
        write(dir + "/bench.pak", pak.data(), pak.size());
    }
    ~Fixture() {
        vz::fs::shutdownFiles();
        std::remove(loosePath.c_str());
        std::remove((dir + "/bench.pak").c_str());
        ::rmdir(dir.c_str());
    }
    static void write(const std::string& path, const uint8_t* data, size_t size) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_PakEntryThroughHandle(benchmark::State& state) {
    fixture();
    std::vector<char> buffer(BLOCK);
    for (auto _ : state) {
        VozerFile* file = vz::slots::OpenFile("res://bench/big.bin", "r");
        if (!file) {
            state.SkipWithError("pak entry did not open");
            return;
        }
        size_t total = 0;
        int32_t n;
        while ((n = vz::slots::ReadFile(buffer.data(), static_cast<int32_t>(BLOCK), file)) > 0) total += static_cast<size_t>(n);
        vz::slots::CloseFile(file);
        if (total != ENTRY_SIZE) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(ENTRY_SIZE));
}

void BM_LooseFileFread(benchmark::State& state) {
    const std::string path = fixture().loosePath;
    std::vector<char> buffer(BLOCK);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            state.SkipWithError("loose file did not open");
            return;
        }
        size_t total = 0, n;
        while ((n = std::fread(buffer.data(), 1, BLOCK, file)) > 0) total += n;
        std::fclose(file);
        if (total != ENTRY_SIZE) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(ENTRY_SIZE));
}

BENCHMARK(BM_LooseFileFread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PakEntryThroughHandle)->Unit(benchmark::kMillisecond);

VOZER_COMPARE(BM_PakEntryThroughHandle, BM_LooseFileFread, "");

}  // namespace
