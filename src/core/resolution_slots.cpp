// Resolution requests from the Program. Mode switches are not offered by this
// build yet: a request is refused, the Program keeps its current size.
#include "api/engine_api.h"

namespace vz::slots {

vz_bool Reinitialize(VozerDisplayParams) { return 0; }

}  // namespace vz::slots
