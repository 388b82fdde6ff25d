// The engine API as the command-line tools serve it to the runtime code they
// link: messages go to stderr under the tool's name, and files are the
// operating system's, named as given on the command line.
#pragma once

#include <string>
#include <vector>

namespace vz::tool {

// Fill the engine API for a tool named `toolName` (a string that lives as
// long as the process). Pixels are kept R, G, B, A, the order files use.
void installToolApi(const char* toolName);
// Print, and Log below warnings, reach stderr only while this is on.
void setVerbose(bool on);
// Folders where a relative name to read is looked for when it does not open
// as given, in order.
std::vector<std::string>& searchFolders();
// Whether a popup was raised since the start or the last clearFailed().
bool failed();
void clearFailed();

}  // namespace vz::tool
