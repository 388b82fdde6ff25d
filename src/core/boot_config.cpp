// Boot configuration reader. The XML and array-database readers it needs are
// being brought in; until then the runtime starts with the Program's own
// record and the built-in defaults, exactly as when prog.xml is missing.
#include "core/boot_config.h"

#include "api/engine_api.h"
#include "core/runtime_state.h"

namespace vz {

bool readBootConfiguration() {
    return false;
}

void openResourcePackages() {}

}  // namespace vz
