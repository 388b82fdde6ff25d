// HTTP requests from the Program. The HTTP client is not part of this build
// yet: every request fails at once with the result 0.
#include "api/engine_api.h"

namespace vz::slots {

int32_t HttpRequest(int32_t, const char*, const char*, const void*, int32_t, VozerBuffer*, volatile int32_t*) { return 0; }

}  // namespace vz::slots
