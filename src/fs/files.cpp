// Loose files, memory files, the opener chain and handle bookkeeping.
#include "fs/files.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "fs/http_client.h"
#include "fs/pak.h"
#include "fs/paths.h"
#include "platform/platform.h"

namespace vz::fs {

// --- Loose files --------------------------------------------------------------------

StdioFile::StdioFile(std::string name, std::string osPath, std::FILE* stream, int64_t size)
    : name_(std::move(name)), osPath_(std::move(osPath)), stream_(stream), size_(size) {}

bool StdioFile::Seek(int64_t offset, int origin) {
    if (origin < 0 || origin > 2) return false;
    return platform::seekFile(stream_, offset, origin);
}

int64_t StdioFile::Tell() { return platform::tellFile(stream_); }

int64_t StdioFile::Size() { return size_; }

const char* StdioFile::Name() { return name_.c_str(); }

void StdioFile::Flush() { std::fflush(stream_); }

int32_t StdioFile::Read(void* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(bytes), stream_));
}

int32_t StdioFile::Write(const void* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(bytes), stream_));
}

void StdioFile::Close() {
    std::fclose(stream_);
    delete this;
}

InnerFile* StdioOpener::Open(const char* path, const char* mode) {
    std::string osPath = ResolvePath(path);
    if (osPath.empty()) return nullptr;
    std::FILE* stream = platform::openFile(osPath.c_str(), mode);
    if (!stream) return nullptr;
    int64_t size = 0;
    if (platform::seekFile(stream, 0, 2)) size = platform::tellFile(stream);
    platform::seekFile(stream, 0, 0);
    if (size < 0) size = 0;
    return new StdioFile(path, osPath, stream, size);
}

// --- Memory files ---------------------------------------------------------------------

MemoryFile::MemoryFile(std::string name, const uint8_t* data, size_t size)
    : name_(std::move(name)), data_(data), size_(data ? size : 0) {}

bool MemoryFile::Seek(int64_t offset, int origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : origin == 2 ? static_cast<int64_t>(size_) : -1;
    if (base < 0) return false;
    // Overflow-safe: offsets come straight from hostile data in the fuzzer.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return false;
    position_ = base + offset;
    return true;
}

int32_t MemoryFile::Read(void* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0 || position_ >= static_cast<int64_t>(size_)) return 0;
    size_t n = std::min(static_cast<size_t>(bytes), size_ - static_cast<size_t>(position_));
    std::memcpy(buffer, data_ + position_, n);
    position_ += static_cast<int64_t>(n);
    return static_cast<int32_t>(n);
}

// --- Opener chain -----------------------------------------------------------------------

namespace {

struct OpenerState {
    std::mutex lock;
    std::unique_ptr<PakOpener> pak;
    std::unique_ptr<StdioOpener> stdio;
    // Last, and not part of relative-name lookup.
    std::unique_ptr<FileOpener> http;
    std::vector<FileOpener*> chain;
};

// Never destroyed: files may still be closed by other objects' destructors at exit.
OpenerState& openers() {
    static OpenerState* s = new OpenerState;
    return *s;
}

void buildChainLocked(OpenerState& s) {
    if (!s.chain.empty()) return;
    s.pak = std::make_unique<PakOpener>();
    s.stdio = std::make_unique<StdioOpener>();
    s.http = makeHttpOpener();
    s.chain = {s.pak.get(), s.stdio.get(), s.http.get()};
    for (FileOpener* o : s.chain) o->Init();
}

}  // namespace

std::vector<FileOpener*> openerChain() {
    OpenerState& s = openers();
    std::lock_guard<std::mutex> guard(s.lock);
    buildChainLocked(s);
    return s.chain;
}

PakOpener& pakOpener() {
    OpenerState& s = openers();
    std::lock_guard<std::mutex> guard(s.lock);
    buildChainLocked(s);
    return *s.pak;
}

void shutdownFiles() {
    OpenerState& s = openers();
    std::vector<FileOpener*> chain;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        chain = s.chain;
    }
    // Shut down outside the chain lock: closing a pak goes back through CloseFile.
    for (FileOpener* o : chain) o->Shutdown();
    std::lock_guard<std::mutex> guard(s.lock);
    s.chain.clear();
    s.pak.reset();
    s.stdio.reset();
    s.http.reset();
}

VozerFile* makeHandle(InnerFile* inner) {
    if (!inner) return nullptr;
    const char* name = inner->Name();
    size_t length = name ? std::strlen(name) : 0;
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    auto* handle = static_cast<VozerFile*>(std::malloc(sizeof(VozerFile)));
    if (!copy || !handle) {
        std::free(copy);
        std::free(handle);
        inner->Close();
        return nullptr;
    }
    if (length) std::memcpy(copy, name, length);
    copy[length] = 0;
    int64_t size = inner->Size();
    handle->name = copy;
    handle->size = size < 0 ? 0u : size > static_cast<int64_t>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(size);
    handle->inner = inner;
    return handle;
}

void destroyHandle(VozerFile* handle) {
    if (!handle) return;
    if (InnerFile* inner = innerOf(handle)) inner->Close();
    std::free(const_cast<char*>(handle->name));
    std::free(handle);
}

bool appendToFileList(VozerFileList* list, const std::string& name) {
    if (!list) return false;
    if (list->count >= list->capacity) {
        int32_t capacity = list->capacity < 32 ? 32 : list->capacity * 2;
        auto** names = static_cast<char**>(std::realloc(list->names, sizeof(char*) * static_cast<size_t>(capacity)));
        if (!names) return false;
        list->names = names;
        list->capacity = capacity;
    }
    auto* copy = static_cast<char*>(std::malloc(name.size() + 1));
    if (!copy) return false;
    std::memcpy(copy, name.c_str(), name.size() + 1);
    list->names[list->count++] = copy;
    return true;
}

}  // namespace vz::fs
