// Building, listing and unpacking pak files on disk: the work behind the
// vozer-pak tool, kept in the engine library so that tests exercise it.
// Paths here are operating-system paths.
#pragma once

#include <string>
#include <vector>

#include "fs/pak.h"

namespace vz::fs {

struct PakInput {
    std::string name;    // entry name, '/'-separated, relative to the folder
    std::string osPath;  // file to read it from
};

// Every file below `folder`, named relative to it, in byte order of the names
// (so the same folder always gives the same pak).
bool collectFolder(const std::string& folder, std::vector<PakInput>& out, std::string& why);
// Write a pak holding `inputs` in that order; data first, directory last.
// Refuses names that the runtime could never open, and totals past 4 GB.
bool writePakFile(const std::string& pakPath, const std::vector<PakInput>& inputs, std::string& why);
// Parse a pak file's directory.
bool readPakFile(const std::string& pakPath, std::vector<PakEntry>& entries, std::string& why);
// Write every entry below `folder`, creating sub-folders. An entry whose name
// would land outside `folder` is not written; it goes into `refused`.
bool extractPakFile(const std::string& pakPath, const std::string& folder, std::vector<std::string>& refused,
                    std::string& why);
// A name that stays inside the folder it is unpacked to on every system.
bool isSafeEntryName(const std::string& name);

}  // namespace vz::fs
