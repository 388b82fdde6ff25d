// HTTP requests from the Program.
#include <new>

#include "api/engine_api.h"
#include "fs/http_client.h"

namespace vz::slots {

int32_t HttpRequest(int32_t method, const char* url, const char* contentType, const void* body, int32_t bodyLength,
                    VozerBuffer* response, volatile int32_t* cancel) {
    try {
        return fs::httpRequest(method, url, contentType, body, bodyLength, response, cancel);
    } catch (const std::bad_alloc&) {
        // Nothing may unwind into the Program; the record may hold a partial body.
        api()->Log(2, "Not enough memory for the HTTP request to '%s'.\n", url ? url : "(null)");
        return VZ_HTTP_REFUSED;
    }
}

}  // namespace vz::slots
