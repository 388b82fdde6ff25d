// Cost of a Log call: filtered out below the minimum level, and written with
// file logging on (open, append, close per line through the file slots),
// each against a plain snprintf + fwrite of the same line measured in the
// same run.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "api/engine_api.h"
#include "compare.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "diag/log.h"
#include "diag/log_internal.h"

namespace {

std::string makeTemporaryFolder() {
    static int counter = 0;
    for (;;) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             ("vozer-logbench-" + std::to_string(std::random_device{}()) + "-" +
                                              std::to_string(++counter));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) return folder.generic_string();
    }
}

// user:// stands for a private temporary folder; files are plain stdio.
std::string benchRoot;

std::string nativePath(const char* path) {
    std::string p = path ? path : "";
    if (p.rfind("user://", 0) == 0) p = benchRoot + "/" + p.substr(7);
    return p;
}

char* VZ_CDECL benchGetPathEx(char* destination, int32_t size, int32_t, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::snprintf(destination, static_cast<size_t>(size), "user://%s", text);
    return destination;
}

vz_bool VZ_CDECL benchCreateDir(const char* path) {
    std::error_code error;
    return std::filesystem::create_directories(nativePath(path), error) ? 1 : 0;
}

VozerFile* VZ_CDECL benchOpenFile(const char* name, const char* mode) {
    std::string m = mode;
    if (m == "a") m = "ab";
    return reinterpret_cast<VozerFile*>(std::fopen(nativePath(name).c_str(), m.c_str()));
}

int32_t VZ_CDECL benchWriteFile(const void* buffer, int32_t bytes, VozerFile* file) {
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(bytes), reinterpret_cast<FILE*>(file)));
}

void VZ_CDECL benchCloseFile(VozerFile* file) { std::fclose(reinterpret_cast<FILE*>(file)); }

void startRuntime(bool toFile, int32_t verboseLevel) {
    vz::createThreadRegistryLock();
    vz::resetRuntimeState();
    vz::fillEngineApi();
    vz::recordMainThread();
    vz::createEngineMutexes();
    vz::diag::resetDiagnostics();
    benchRoot = makeTemporaryFolder();
    vz::api()->GetPathEx = &benchGetPathEx;
    vz::api()->CreateDir = &benchCreateDir;
    vz::api()->OpenFile = &benchOpenFile;
    vz::api()->WriteFile = &benchWriteFile;
    vz::api()->CloseFile = &benchCloseFile;
    vz::rt().boot.console = true;
    vz::rt().boot.logging = toFile;
    vz::rt().boot.verboseLevel = verboseLevel;
    vz::diag::startLogFile();
}

void stopRuntime() {
    vz::diag::resetDiagnostics();
    vz::destroyEngineMutexes();
    std::error_code error;
    std::filesystem::remove_all(benchRoot, error);
}

void BM_LogFiltered(benchmark::State& state) {
    startRuntime(false, VZ_ERROR);
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(vz::api()->Log(VZ_INFO, "texture %s loaded in %d ms", "hero", ++i));
    stopRuntime();
}
BENCHMARK(BM_LogFiltered);

void BM_LogToFile(benchmark::State& state) {
    startRuntime(true, VZ_INFO);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vz::api()->Log(VZ_WARNING, "texture %s loaded in %d ms", "hero", ++i));
        // Keep the in-memory list from filling, so every iteration costs the same.
        if ((i & 4095) == 0) {
            state.PauseTiming();
            vz::diag::clearLogLines();
            vz::diag::startLogFile();
            state.ResumeTiming();
        }
    }
    stopRuntime();
}
BENCHMARK(BM_LogToFile);

// Reference: format the same line and append it to a file that stays open.
void BM_ReferenceSnprintfFwrite(benchmark::State& state) {
    const std::string root = makeTemporaryFolder();
    FILE* file = std::fopen((root + "/ref.log").c_str(), "ab");
    char line[1024];
    int i = 0;
    for (auto _ : state) {
        ++i;
        const int n = std::snprintf(line, sizeof line, "%.4d: [%.2d:%.2d.%.2d] texture %s loaded in %d ms\n", i, 12,
                                    34, 56, "hero", i);
        benchmark::DoNotOptimize(std::fwrite(line, 1, static_cast<size_t>(n), file));
    }
    std::fclose(file);
    std::error_code error;
    std::filesystem::remove_all(root, error);
}
BENCHMARK(BM_ReferenceSnprintfFwrite);

// Reference with the design's durability: open, append and close per line.
void BM_ReferenceOpenAppendClose(benchmark::State& state) {
    const std::string root = makeTemporaryFolder();
    const std::string path = root + "/ref.log";
    char line[1024];
    int i = 0;
    for (auto _ : state) {
        ++i;
        const int n = std::snprintf(line, sizeof line, "%.4d: [%.2d:%.2d.%.2d] texture %s loaded in %d ms\n", i, 12,
                                    34, 56, "hero", i);
        FILE* file = std::fopen(path.c_str(), "ab");
        benchmark::DoNotOptimize(std::fwrite(line, 1, static_cast<size_t>(n), file));
        std::fclose(file);
    }
    std::error_code error;
    std::filesystem::remove_all(root, error);
}
BENCHMARK(BM_ReferenceOpenAppendClose);

// Reference for a filtered call: the least a variadic logging call can cost,
// a call through a function pointer that compares the level and returns.
int32_t VZ_CDECL levelCheckOnly(int32_t level, const char*, ...) {
    static volatile int32_t minimum = VZ_ERROR;
    return level < minimum ? 0 : 1;
}
void BM_ReferenceLevelCheck(benchmark::State& state) {
    int32_t (*volatile call)(int32_t, const char*, ...) = &levelCheckOnly;
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(call(VZ_INFO, "texture %s loaded in %d ms", "hero", ++i));
}
BENCHMARK(BM_ReferenceLevelCheck);

VOZER_COMPARE(BM_LogFiltered, BM_ReferenceLevelCheck, "");
VOZER_COMPARE(BM_LogToFile, BM_ReferenceOpenAppendClose, "");
VOZER_COMPARE(BM_LogToFile, BM_ReferenceSnprintfFwrite, "reference keeps its file open: not the log's durability");

}  // namespace
