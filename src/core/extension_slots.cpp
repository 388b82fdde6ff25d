// Named platform services (clipboard, URLs, dialogs, system queries).
// None is offered by this build yet: every name is unknown and gives null.
#include "api/engine_api.h"

namespace vz::slots {

void* CallExtension(const char*, void*) { return nullptr; }

}  // namespace vz::slots
