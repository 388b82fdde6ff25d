// Fuzz target for the pak reader: any bytes as a pak file, read from memory.
// Every entry the reader accepts must lie inside the file, and reading it back
// through an entry file must give exactly its bytes and nothing beyond.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "fuzz_support.h"
#include "fs/files.h"
#include "fs/pak.h"

using vz::fuzz::check;
using vz::fuzz::silenceMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool silenced = (silenceMessages(), true);
    (void)silenced;
    using namespace vz::fs;

    VozerFile* handle = makeHandle(new MemoryFile("fuzz.pak", data, size));
    Pak pak;
    std::string why;
    if (parsePak(handle, pak, why)) {
        check(pak.fileSize == size);
        size_t checked = 0;
        for (const PakEntry& e : pak.entries) {
            check(static_cast<uint64_t>(e.offset) + e.size <= size);
            check(e.name.size() <= PAK_NAME_MAX);
            check(pak.find(e.name.c_str()) != nullptr);
            if (++checked > 32) continue;
            auto* file = new PakEntryFile(e.name, "fuzz.pak", e.offset, e.size,
                                          makeHandle(new MemoryFile("fuzz.pak", data, size)), false);
            check(file->Seek(0, 0));
            std::vector<uint8_t> back;
            uint8_t chunk[61];
            int32_t n;
            while ((n = file->Read(chunk, sizeof chunk)) > 0) back.insert(back.end(), chunk, chunk + n);
            check(back.size() == e.size);
            check(e.size == 0 || std::memcmp(back.data(), data + e.offset, e.size) == 0);
            // Windows into the entry from every origin stay inside it.
            if (file->Seek(-1, 2)) check(e.size > 0 && file->Read(chunk, sizeof chunk) == 1);
            check(!file->Seek(-1, 0));
            check(file->Seek(static_cast<int64_t>(e.size) + 5, 0));
            check(file->Read(chunk, sizeof chunk) == 0);
            file->Close();
        }
    }
    destroyHandle(handle);
    return 0;
}
