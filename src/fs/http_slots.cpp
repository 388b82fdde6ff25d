// HTTP requests from the Program. The HTTP client is not part of this build
// yet: every request fails at once with the result 0.
#include "api/engine_api.h"

namespace vz::slots {

int32_t HttpRequest(const char*, const char*, const char*, const void*, int32_t, VozerBuffer*, volatile vz_bool*) { return 0; }

}  // namespace vz::slots
