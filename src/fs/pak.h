// Pak archives: read-only bundles of uncompressed resources. A pak named
// res://ui.pak serves every res://ui/<entry> path.
//
// Layout (integers 32-bit little-endian):
//   0   8  magic 'P' 'A' 'K' 0 'V' '1' '1' 0
//   8   4  directory offset
//   12  4  total file size (must equal the real size)
//   dir:   entry count N, then N x { name up to and including NUL,
//          data offset, data size, reserved, reserved }
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "fs/files.h"

namespace vz::fs {

constexpr uint8_t PAK_MAGIC[8] = {'P', 'A', 'K', 0, 'V', '1', '1', 0};
constexpr uint32_t PAK_HEADER_SIZE = 16;
// Entry names longer than this are cut (the directory is still read past them).
constexpr size_t PAK_NAME_MAX = 511;
// The smallest directory record: an empty name's NUL and four 32-bit values.
constexpr uint32_t PAK_MIN_ENTRY_SIZE = 17;

struct PakEntry {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t reserved[2] = {0, 0};  // read, kept, never used
};

struct Pak {
    std::string fileName;
    uint32_t fileSize = 0;
    std::vector<PakEntry> entries;
    VozerFile* handle = nullptr;  // open from parsing until the pak is closed
    uint32_t directoryOffset = 0;

    // Lower-cased name -> first entry of that name, so an open costs a lookup
    // rather than a walk over a directory of thousands of names.
    std::unordered_map<std::string, size_t> index;

    // Entry by name without regard to case; the first of equal names wins.
    const PakEntry* find(const char* name) const;
};

// Read the header and directory from `handle` (positioned anywhere) into
// `pak`. Refuses (false, with the reason in `why`) a wrong magic, a stored size
// that is not the real size, a directory or entry outside the file, an entry
// count the directory cannot hold, or a name without its NUL. Entries whose
// names could not come from a legal file name (a "..", a leading '/', a ':' or
// a '\') are left out, since nothing can open them. Does not take the handle.
bool parsePak(VozerFile* handle, Pak& pak, std::string& why);

// An open entry: a window of the pak file. Reads stop at the entry's end, so a
// game is never handed its neighbour's bytes.
class PakEntryFile final : public InnerFile {
public:
    // Takes `pakHandle`; Seek(0, 0) before the first read puts it at the entry's start.
    PakEntryFile(std::string entryName, std::string pakPath, uint32_t offset, uint32_t size, VozerFile* pakHandle,
                 bool countedHandle);
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override { return size_; }
    const char* Name() override { return name_.c_str(); }
    void Flush() override {}
    int32_t Read(void* buffer, int32_t bytes) override;
    int32_t Write(const void*, int32_t) override { return 0; }
    void Close() override;

private:
    std::string name_;
    std::string pakPath_;
    uint32_t offset_;
    uint32_t size_;
    VozerFile* pak_;
    bool counted_;      // the handle came from OpenFile and goes back through CloseFile
    int64_t position_ = 0;  // relative to the entry
};

class PakOpener final : public FileOpener {
public:
    InnerFile* Open(const char* path, const char* mode) override;
    bool Init() override { return true; }
    void Shutdown() override;
    bool AcceptsSearchPaths() override { return true; }

    // The pak serving paths below `path`'s first directory (res://ui/x → res://ui.pak),
    // opened and parsed on first use; null when there is none or it is damaged.
    const Pak* pakFor(const std::string& pakFileName);

private:
    std::mutex lock_;  // paks may be opened from several threads at once
    std::vector<std::unique_ptr<Pak>> paks_;
    std::set<std::string> reported_;  // damaged paks already reported once
};

// Pak file name and entry name for a virtual path: "res://ui/a/b.png" gives
// "res://ui.pak" and "a/b.png". False when the path has no first directory or
// the pak name would not fit a path buffer.
bool splitPakPath(const char* path, std::string& pakFileName, std::string& entryName);

// Pak writing (the vozer-pak tool and the tests). `entries` gives names and
// bytes; the directory goes after the data. Returns the whole file.
struct PakSource {
    std::string name;
    std::vector<uint8_t> data;
};
std::vector<uint8_t> buildPak(const std::vector<PakSource>& entries);

}  // namespace vz::fs
