// The window host's cursor slot. The runtime keeps the system arrow cursor
// until named cursors come with the window host.
#include "api/engine_api.h"

namespace vz::slots {

void SetCursor(const char*) { }

}  // namespace vz::slots
