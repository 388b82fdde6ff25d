// Pak files on disk for the vozer-pak tool: build from a folder, list, unpack.
#include "fs/pak_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fs/paths.h"
#include "platform/platform.h"

namespace vz::fs {

namespace {

constexpr size_t COPY_CHUNK = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool collect(const std::string& osFolder, const std::string& relative, int depth, std::vector<PakInput>& out,
             std::string& why) {
    if (depth > 64) {
        why = "folders nested too deep (a link loop?) at '" + osFolder + "'";
        return false;
    }
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(osFolder.c_str(), entries)) {
        why = "cannot list folder '" + osFolder + "'";
        return false;
    }
    for (const auto& e : entries) {
        std::string name = relative.empty() ? e.name : relative + "/" + e.name;
        std::string path = osFolder + "/" + e.name;
        if (e.isDirectory) {
            if (!collect(path, name, depth + 1, out, why)) return false;
        } else {
            out.push_back(PakInput{name, path});
        }
    }
    return true;
}

}  // namespace

bool isSafeEntryName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos) return false;
    if (name.find("//") != std::string::npos || name.back() == '/') return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 32) return false;
    return staysInsideRoot(name);
}

bool collectFolder(const std::string& folder, std::vector<PakInput>& out, std::string& why) {
    out.clear();
    std::string root = folder;
    while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
    if (!platform::isDirectory(root.c_str())) {
        why = "'" + folder + "' is not a folder";
        return false;
    }
    if (!collect(root, std::string(), 0, out, why)) return false;
    std::sort(out.begin(), out.end(), [](const PakInput& a, const PakInput& b) { return a.name < b.name; });
    return true;
}

bool writePakFile(const std::string& pakPath, const std::vector<PakInput>& inputs, std::string& why) {
    for (const PakInput& in : inputs) {
        if (!isSafeEntryName(in.name) || in.name.size() > PAK_NAME_MAX) {
            why = "the name '" + in.name + "' cannot be opened by the runtime";
            return false;
        }
    }
    FilePtr out(platform::openFile(pakPath.c_str(), "wb"));
    if (!out) {
        why = "cannot create '" + pakPath + "'";
        return false;
    }
    auto fail = [&](const std::string& reason) {
        why = reason;
        out.reset();
        platform::deleteFile(pakPath.c_str());
        return false;
    };
    uint8_t header[PAK_HEADER_SIZE] = {};
    std::memcpy(header, PAK_MAGIC, sizeof PAK_MAGIC);
    if (std::fwrite(header, 1, sizeof header, out.get()) != sizeof header) return fail("cannot write '" + pakPath + "'");

    std::vector<uint8_t> chunk(COPY_CHUNK);
    std::vector<uint8_t> directory(4);
    putLe32(directory.data(), static_cast<uint32_t>(inputs.size()));
    uint64_t at = PAK_HEADER_SIZE;
    for (const PakInput& in : inputs) {
        // Packing a folder into a pak inside it would read the file being written.
        if (in.osPath == pakPath) return fail("the pak '" + pakPath + "' is inside the folder it is made from");
        FilePtr src(platform::openFile(in.osPath.c_str(), "rb"));
        if (!src) return fail("cannot read '" + in.osPath + "'");
        uint64_t start = at;
        for (;;) {
            size_t n = std::fread(chunk.data(), 1, chunk.size(), src.get());
            if (n == 0) break;
            if (at + n > UINT32_MAX) return fail("the pak would grow past 4 GB");
            if (std::fwrite(chunk.data(), 1, n, out.get()) != n) return fail("cannot write '" + pakPath + "'");
            at += n;
        }
        if (std::ferror(src.get())) return fail("cannot read '" + in.osPath + "'");
        directory.insert(directory.end(), in.name.begin(), in.name.end());
        directory.push_back(0);
        uint8_t fields[16] = {};
        putLe32(fields, static_cast<uint32_t>(start));
        putLe32(fields + 4, static_cast<uint32_t>(at - start));
        directory.insert(directory.end(), fields, fields + sizeof fields);
    }
    uint64_t total = at + directory.size();
    if (total > UINT32_MAX) return fail("the pak would grow past 4 GB");
    if (std::fwrite(directory.data(), 1, directory.size(), out.get()) != directory.size())
        return fail("cannot write '" + pakPath + "'");
    putLe32(header + 8, static_cast<uint32_t>(at));
    putLe32(header + 12, static_cast<uint32_t>(total));
    if (!platform::seekFile(out.get(), 0, 0) || std::fwrite(header, 1, sizeof header, out.get()) != sizeof header)
        return fail("cannot write '" + pakPath + "'");
    if (std::fflush(out.get()) != 0) return fail("cannot write '" + pakPath + "'");
    return true;
}

bool readPakFile(const std::string& pakPath, std::vector<PakEntry>& entries, std::string& why) {
    std::FILE* stream = platform::openFile(pakPath.c_str(), "rb");
    if (!stream) {
        why = "cannot open '" + pakPath + "'";
        return false;
    }
    int64_t size = platform::seekFile(stream, 0, 2) ? platform::tellFile(stream) : -1;
    platform::seekFile(stream, 0, 0);
    VozerFile* handle = makeHandle(new StdioFile(pakPath, pakPath, stream, size < 0 ? 0 : size));
    Pak pak;
    bool ok = parsePak(handle, pak, why);
    destroyHandle(handle);
    if (ok) entries = std::move(pak.entries);
    return ok;
}

bool extractPakFile(const std::string& pakPath, const std::string& folder, std::vector<std::string>& refused,
                    std::string& why) {
    refused.clear();
    std::vector<PakEntry> entries;
    if (!readPakFile(pakPath, entries, why)) return false;
    FilePtr in(platform::openFile(pakPath.c_str(), "rb"));
    if (!in) {
        why = "cannot open '" + pakPath + "'";
        return false;
    }
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!createOsDirectory((root + "/").c_str())) {
        why = "cannot create folder '" + folder + "'";
        return false;
    }
    std::vector<uint8_t> chunk(COPY_CHUNK);
    for (const PakEntry& e : entries) {
        if (!isSafeEntryName(e.name)) {
            refused.push_back(e.name);
            continue;
        }
        std::string target = root + "/" + e.name;
        size_t slash = target.rfind('/');
        if (!createOsDirectory(target.substr(0, slash + 1).c_str())) {
            why = "cannot create a folder for '" + target + "'";
            return false;
        }
        FilePtr out(platform::openFile(target.c_str(), "wb"));
        if (!out) {
            why = "cannot create '" + target + "'";
            return false;
        }
        if (!platform::seekFile(in.get(), e.offset, 0)) {
            why = "cannot read '" + pakPath + "'";
            return false;
        }
        uint64_t left = e.size;
        while (left > 0) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
            size_t n = std::fread(chunk.data(), 1, want, in.get());
            if (n != want) {
                why = "'" + pakPath + "' ends inside entry '" + e.name + "'";
                return false;
            }
            if (std::fwrite(chunk.data(), 1, n, out.get()) != n) {
                why = "cannot write '" + target + "'";
                return false;
            }
            left -= n;
        }
    }
    return true;
}

}  // namespace vz::fs
