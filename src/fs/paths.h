// Virtual paths: "res://" (read-only resources beside the program), "user://"
// (writable per-installation data), "http://" (the network) and relative names
// looked up along the search paths.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vz::fs {

// Virtual paths travel in buffers of this size; GetPath's rotating results
// and FindInSearchPaths' results are shorter.
constexpr size_t PATH_BUFFER = 512;
constexpr size_t SHORT_PATH_BUFFER = 260;
constexpr int TARGET_COUNT = 5;

// --- Start-up -------------------------------------------------------------

// Ask the system for its folders (application data, shared application data,
// documents, desktop, the program's folder).
void InitFolders();
// Build the five target roots from the folders and the identity names in the
// runtime record, and create the data folders below which user:// lives.
void InitTargetRoots(bool createFolders);
// Both of the above: the start-up step.
void initPathRoots();
// Rebuild the roots once the developer and program names are known (or changed).
void rebuildUserPaths();
// Close every pak and shut the file openers down (process shutdown).
void shutdownFiles();

// Root of a target (0..4), '/'-separated without trailing '/'; empty when unknown.
std::string targetRoot(int target);
// Replace a target's root (the path-switching extension functions, and tests).
void setTargetRoot(int target, const std::string& root);

// --- Names ------------------------------------------------------------------

// "://" within the first 16 characters.
bool HasTargetPrefix(const char* path);
// The check OpenFile makes before asking any opener.
bool IsLegalFileName(const char* name);
// Copy src to dst (at most size bytes with the terminator), '\' to '/', and
// fold "dir/../". Does nothing unless both are given and size > 1.
void NormalisePath(char* dst, size_t size, const char* src);

// Operating-system path of a virtual path; empty when the target has no root,
// the path has no "://", the result would exceed 511 characters, or the path
// names something outside its root (a ".." component, a drive, a device name).
std::string ResolvePath(const char* virtualPath);
// Whether a '/'-separated relative path names only things below the folder it
// is joined to: no ".." component, no ':', no device name (CON, NUL, COM1..),
// no component ending in a dot or a space (Win32 drops those, so they alias).
bool staysInsideRoot(const std::string& relative);
// The virtual path of an operating-system path below one of the target roots;
// empty when it is below none.
std::string UnresolvePath(const char* osPath);

// --- Search paths ------------------------------------------------------------

// The search paths, highest priority first (a copy: safe to use while the main
// thread changes the list).
std::vector<std::string> searchPathsSnapshot();
// Forget every search path (shutdown and tests).
void clearSearchPaths();
// First search path + relative name that exists (or, unless existingOnly, could
// be created), in one of 16 rotating 260-byte buffers; null when none.
const char* FindInSearchPaths(const char* relative, bool existingOnly);

// Create an operating-system directory and its parents (the access list for
// every user applies below the user:// roots). True when it exists afterwards.
bool createOsDirectory(const char* osPath);

}  // namespace vz::fs
