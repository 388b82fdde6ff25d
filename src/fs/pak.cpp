// The pak reader, the entry file and the pak opener.
#include "fs/pak.h"

#include <algorithm>
#include <cstring>

#include "api/engine_api.h"
#include "fs/paths.h"

namespace vz::fs {

namespace {

uint32_t readLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(const char* name) {
    std::string s = name;
    for (char& c : s) c = lower(c);
    return s;
}

// A name that OpenFile would refuse, or one that could not be asked for
// through a virtual path, can never be opened: keep it out of listings too.
bool usableEntryName(const std::string& name) {
    if (name.empty() || name[0] == '/') return false;
    if (name.find("..") != std::string::npos) return false;
    return name.find_first_of(":\\") == std::string::npos;
}

// Reads the directory in large blocks; a byte-at-a-time read through the
// file handle would cost a call per name character.
class DirectoryReader {
public:
    DirectoryReader(VozerFile* handle, uint64_t remaining) : handle_(handle), remaining_(remaining) {}

    bool byte(uint8_t& out) {
        if (at_ == buffer_.size() && !refill()) return false;
        out = buffer_[at_++];
        return true;
    }
    bool bytes(uint8_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (!byte(out[i])) return false;
        return true;
    }

private:
    bool refill() {
        if (remaining_ == 0) return false;
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(remaining_, 64 * 1024));
        buffer_.resize(chunk);
        int32_t got = innerOf(handle_)->Read(buffer_.data(), static_cast<int32_t>(chunk));
        if (got <= 0) return false;
        buffer_.resize(static_cast<size_t>(got));
        remaining_ -= static_cast<uint64_t>(got);
        at_ = 0;
        return true;
    }

    VozerFile* handle_;
    uint64_t remaining_;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0;
};

}  // namespace

const PakEntry* Pak::find(const char* name) const {
    if (!name) return nullptr;
    auto it = index.find(lowered(name));
    return it == index.end() ? nullptr : &entries[it->second];
}

bool parsePak(VozerFile* handle, Pak& pak, std::string& why) {
    char text[256];
    pak.entries.clear();
    pak.index.clear();
    if (!handle || !handle->inner) {
        why = "no file";
        return false;
    }
    InnerFile* in = innerOf(handle);
    int64_t realSize = in->Size();
    if (realSize < 0 || realSize > static_cast<int64_t>(UINT32_MAX)) {
        why = "its size does not fit a pak";
        return false;
    }
    if (realSize < PAK_HEADER_SIZE) {
        why = "too short for a pak header";
        return false;
    }
    uint8_t header[PAK_HEADER_SIZE];
    if (!in->Seek(0, 0) || in->Read(header, PAK_HEADER_SIZE) != static_cast<int32_t>(PAK_HEADER_SIZE)) {
        why = "the header cannot be read";
        return false;
    }
    if (std::memcmp(header, PAK_MAGIC, sizeof PAK_MAGIC) != 0) {
        why = "not a pak (wrong magic)";
        return false;
    }
    const uint32_t fileSize = static_cast<uint32_t>(realSize);
    const uint32_t directory = readLe32(header + 8);
    const uint32_t stored = readLe32(header + 12);
    if (stored != fileSize) {
        std::snprintf(text, sizeof text, "it declares %u bytes but holds %u", stored, fileSize);
        why = text;
        return false;
    }
    if (directory < PAK_HEADER_SIZE || static_cast<uint64_t>(directory) + 4 > fileSize) {
        std::snprintf(text, sizeof text, "its directory offset %u lies outside the file", directory);
        why = text;
        return false;
    }
    uint8_t countBytes[4];
    if (!in->Seek(directory, 0) || in->Read(countBytes, 4) != 4) {
        why = "the directory cannot be read";
        return false;
    }
    const uint32_t count = readLe32(countBytes);
    const uint64_t room = static_cast<uint64_t>(fileSize) - directory - 4;
    if (count > room / PAK_MIN_ENTRY_SIZE) {
        std::snprintf(text, sizeof text, "its entry count %u cannot fit in its directory", count);
        why = text;
        return false;
    }

    DirectoryReader reader(handle, room);
    pak.entries.reserve(std::min<uint32_t>(count, 65536));
    uint32_t unusable = 0;
    for (uint32_t i = 0; i < count; ++i) {
        PakEntry entry;
        uint8_t c = 0;
        for (;;) {
            if (!reader.byte(c)) {
                std::snprintf(text, sizeof text, "entry %u has a name without its terminating NUL", i);
                why = text;
                pak.entries.clear();
                return false;
            }
            if (c == 0) break;
            if (entry.name.size() < PAK_NAME_MAX) entry.name += static_cast<char>(c);
        }
        uint8_t fields[16];
        if (!reader.bytes(fields, sizeof fields)) {
            std::snprintf(text, sizeof text, "the directory ends inside entry %u", i);
            why = text;
            pak.entries.clear();
            return false;
        }
        entry.offset = readLe32(fields);
        entry.size = readLe32(fields + 4);
        entry.reserved[0] = readLe32(fields + 8);
        entry.reserved[1] = readLe32(fields + 12);
        if (static_cast<uint64_t>(entry.offset) + entry.size > fileSize) {
            std::snprintf(text, sizeof text, "entry %u (offset %u, %u bytes) reaches past the end of the file", i,
                          entry.offset, entry.size);
            why = text;
            pak.entries.clear();
            return false;
        }
        if (!usableEntryName(entry.name)) {
            ++unusable;
            continue;
        }
        pak.entries.push_back(std::move(entry));
    }
    if (unusable)
        api()->Log(VZ_WARNING, "Pak '%s': %u entries with names that no path can reach (\"..\", '/', ':', '\\') were left out.\n",
                   handle->name, unusable);
    pak.index.clear();
    pak.index.reserve(pak.entries.size());
    for (size_t i = 0; i < pak.entries.size(); ++i) pak.index.emplace(lowered(pak.entries[i].name.c_str()), i);
    pak.fileSize = fileSize;
    pak.directoryOffset = directory;
    pak.handle = handle;
    return true;
}

// --- Entry file -----------------------------------------------------------------

PakEntryFile::PakEntryFile(std::string entryName, std::string pakPath, uint32_t offset, uint32_t size,
                           VozerFile* pakHandle, bool countedHandle)
    : name_(std::move(entryName)),
      pakPath_(std::move(pakPath)),
      offset_(offset),
      size_(size),
      pak_(pakHandle),
      counted_(countedHandle) {}

bool PakEntryFile::Seek(int64_t offset, int origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : origin == 2 ? static_cast<int64_t>(size_) : -1;
    if (base < 0) return false;
    int64_t target = base + offset;
    // Like a stream: before the start is refused, past the end reads nothing.
    if (target < 0 || target > INT32_MAX) return false;
    if (!innerOf(pak_)->Seek(static_cast<int64_t>(offset_) + target, 0)) return false;
    position_ = target;
    return true;
}

int64_t PakEntryFile::Tell() { return position_; }

int32_t PakEntryFile::Read(void* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0 || position_ >= static_cast<int64_t>(size_)) return 0;
    int64_t left = static_cast<int64_t>(size_) - position_;
    int32_t want = static_cast<int32_t>(std::min<int64_t>(bytes, left));
    int32_t got = innerOf(pak_)->Read(buffer, want);
    if (got > 0) position_ += got;
    return got > 0 ? got : 0;
}

void PakEntryFile::Close() {
    if (counted_) slots::CloseFile(pak_);
    else destroyHandle(pak_);
    delete this;
}

// --- Opener -----------------------------------------------------------------------

bool splitPakPath(const char* path, std::string& pakFileName, std::string& entryName) {
    if (!path || !HasTargetPrefix(path)) return false;
    const char* rest = std::strstr(path, "://") + 3;
    const char* slash = std::strchr(rest, '/');
    if (!slash || slash == rest) return false;
    size_t prefixLength = static_cast<size_t>(rest - path);
    size_t dirLength = static_cast<size_t>(slash - rest);
    if (prefixLength + dirLength + 4 >= PATH_BUFFER) return false;
    pakFileName.assign(path, prefixLength + dirLength);
    pakFileName += ".pak";
    entryName = slash + 1;
    return true;
}

// The list lock is a leaf: opening, parsing and logging happen outside it,
// because the file layer and the log take locks of their own (the log holds
// PRINT while it opens files, which comes back here). Two threads may parse
// the same pak at once; the first to finish adds it, the other's copy goes.
const Pak* PakOpener::pakFor(const std::string& pakFileName) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& p : paks_)
            if (p->fileName == pakFileName) return p.get();
    }
    VozerFile* handle = slots::OpenFile(pakFileName.c_str(), "rb");
    if (!handle) return nullptr;  // no pak here: the next open looks again
    auto pak = std::make_unique<Pak>();
    pak->fileName = pakFileName;
    std::string why;
    if (!parsePak(handle, *pak, why)) {
        slots::CloseFile(handle);
        bool firstReport;
        {
            std::lock_guard<std::mutex> guard(lock_);
            firstReport = reported_.insert(pakFileName).second;
        }
        // Retried on the next open (the file may be replaced), reported once.
        if (firstReport) api()->Log(VZ_ERROR, "Pak '%s' is damaged and ignored: %s.\n", pakFileName.c_str(), why.c_str());
        return nullptr;
    }
    const Pak* kept = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& p : paks_)
            if (p->fileName == pakFileName) kept = p.get();
        if (!kept) {
            paks_.push_back(std::move(pak));
            kept = paks_.back().get();
        }
    }
    if (pak) {
        slots::CloseFile(pak->handle);  // another thread's copy was kept
        return kept;
    }
    api()->Print("Opening new pak '%s'.\n", pakFileName.c_str());
    return kept;
}

InnerFile* PakOpener::Open(const char* path, const char* mode) {
    if (!path || !mode || std::strcmp(mode, "rb") != 0) return nullptr;
    if (std::strncmp(path, "http://", 7) == 0) return nullptr;
    std::string pakFileName, entryName;
    if (!splitPakPath(path, pakFileName, entryName)) return nullptr;
    const Pak* pak = pakFor(pakFileName);
    if (!pak) return nullptr;
    const PakEntry* entry = pak->find(entryName.c_str());
    if (!entry) return nullptr;
    VozerFile* handle = slots::OpenFile(pakFileName.c_str(), "rb");
    if (!handle) return nullptr;
    auto* file = new PakEntryFile(path, pakFileName, entry->offset, entry->size, handle, true);
    if (!file->Seek(0, 0)) {
        file->Close();
        return nullptr;
    }
    return file;
}

void PakOpener::Shutdown() {
    std::vector<std::unique_ptr<Pak>> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing.swap(paks_);
        reported_.clear();
    }
    // Closed outside the lock: CloseFile may log.
    for (auto& p : closing) {
        if (p->handle) slots::CloseFile(p->handle);
        p->handle = nullptr;
    }
}

// --- Writing -------------------------------------------------------------------------

std::vector<uint8_t> buildPak(const std::vector<PakSource>& entries) {
    std::vector<uint8_t> out(PAK_MAGIC, PAK_MAGIC + sizeof PAK_MAGIC);
    out.resize(PAK_HEADER_SIZE, 0);
    std::vector<uint32_t> offsets;
    for (const PakSource& e : entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    uint32_t directory = static_cast<uint32_t>(out.size());
    putLe32(out, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
        out.push_back(0);
        putLe32(out, offsets[i]);
        putLe32(out, static_cast<uint32_t>(entries[i].data.size()));
        putLe32(out, 0);
        putLe32(out, 0);
    }
    uint32_t total = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) {
        out[8 + i] = static_cast<uint8_t>(directory >> (8 * i));
        out[12 + i] = static_cast<uint8_t>(total >> (8 * i));
    }
    return out;
}

}  // namespace vz::fs
