// File handles over a chain of file openers: entries of pak archives, loose
// files on disk and files fetched over HTTP all look alike to the runtime and
// the Program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vozer_api.h"

namespace vz::fs {

// What a source of bytes offers. The order of the operations is part of the
// interface shared with the opener implementations; keep it.
class InnerFile {
public:
    // origin 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    virtual int64_t Size() = 0;
    // The virtual name the file was opened with.
    virtual const char* Name() = 0;
    virtual void Flush() = 0;
    virtual int32_t Read(void* buffer, int32_t bytes) = 0;
    virtual int32_t Write(const void* buffer, int32_t bytes) = 0;
    // Closes the source and destroys the object.
    virtual void Close() = 0;

protected:
    virtual ~InnerFile() = default;
};

// One link of the opener chain. Order of operations as above: keep it.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    // An inner file for `path` (a virtual path with its prefix) in `mode`
    // ("rb", "wb", "ab"), or null when this opener cannot supply it.
    virtual InnerFile* Open(const char* path, const char* mode) = 0;
    virtual bool Init() = 0;
    virtual void Shutdown() = 0;
    // Whether relative names are looked up through this opener.
    virtual bool AcceptsSearchPaths() = 0;
};

// A loose file on disk.
class StdioFile final : public InnerFile {
public:
    StdioFile(std::string name, std::string osPath, std::FILE* stream, int64_t size);
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    const char* Name() override;
    void Flush() override;
    int32_t Read(void* buffer, int32_t bytes) override;
    int32_t Write(const void* buffer, int32_t bytes) override;
    void Close() override;

private:
    std::string name_;
    std::string osPath_;
    std::FILE* stream_;
    int64_t size_;
};

class StdioOpener final : public FileOpener {
public:
    InnerFile* Open(const char* path, const char* mode) override;
    bool Init() override { return true; }
    void Shutdown() override {}
    bool AcceptsSearchPaths() override { return true; }
};

// Bytes held in memory (borrowed, read-only): lets the pak reader be fed
// bytes directly, as the fuzzer and the tests do.
class MemoryFile final : public InnerFile {
public:
    MemoryFile(std::string name, const uint8_t* data, size_t size);
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override { return position_; }
    int64_t Size() override { return static_cast<int64_t>(size_); }
    const char* Name() override { return name_.c_str(); }
    void Flush() override {}
    int32_t Read(void* buffer, int32_t bytes) override;
    int32_t Write(const void*, int32_t) override { return 0; }
    void Close() override { delete this; }

private:
    std::string name_;
    const uint8_t* data_;
    size_t size_;
    int64_t position_ = 0;
};

class PakOpener;

// The chain, built on first use: PakOpener, StdioOpener, the HTTP opener.
std::vector<FileOpener*> openerChain();
PakOpener& pakOpener();

// The inner file behind a handle (the record is plain C, so it holds it untyped).
inline InnerFile* innerOf(const VozerFile* handle) {
    return handle ? static_cast<InnerFile*>(handle->inner) : nullptr;
}

// Wrap an inner file in a handle without counting it as opened by OpenFile
// (the fuzzer and tests build handles on memory this way). Free it with
// destroyHandle, which closes the inner file.
VozerFile* makeHandle(InnerFile* inner);
void destroyHandle(VozerFile* handle);

// Close every pak and shut the openers down (process shutdown; tests).
void shutdownFiles();

// Append a name to a FileList (first 32 entries, then doubling).
bool appendToFileList(VozerFileList* list, const std::string& name);

}  // namespace vz::fs

