// Fuzz target for what an HTTP server sends: any bytes as a response, fed to
// the head reader in pieces of a size taken from the first byte, then the
// head parser, the Location check and the cache name of the next URL. The
// reader must respect its limits, a parsed head must hold sane values, and
// whatever the server wrote may become a URL only when it is safe to send.
#include <cstdint>
#include <cstring>
#include <string>

#include "fs/http_client.h"
#include "fs/paths.h"
#include "fuzz_support.h"

using vz::fuzz::check;
using vz::fuzz::silenceMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool silenced = (silenceMessages(), true);
    (void)silenced;
    using namespace vz::fs;
    if (size == 0) return 0;
    const size_t piece = data[0] % 17 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    HttpLimits limits;
    limits.maxHeadBytes = 4096;  // small limits reach the refusals quickly
    limits.maxStatusLine = 256;
    limits.maxHeaderLine = 512;
    limits.maxHeaderLines = 20;
    ResponseHeadReader reader(limits);
    size_t taken = 0;
    while (taken < length && reader.state() == ResponseHeadReader::State::Reading) {
        const size_t n = length - taken < piece ? length - taken : piece;
        const size_t used = reader.feed(bytes + taken, n);
        check(used <= n);
        check(used == n || reader.state() != ResponseHeadReader::State::Reading);
        taken += used;
    }
    check(reader.text().size() == taken);
    check(reader.text().size() <= limits.maxHeadBytes + 1);
    check(std::memcmp(reader.text().data(), bytes, taken) == 0);

    const std::string shown = printable(reader.text(), 300);
    for (char c : shown) check(static_cast<unsigned char>(c) >= 0x20 || c == '\r' || c == '\n' || c == '\t');

    if (reader.state() != ResponseHeadReader::State::Complete) return 0;
    check(reader.text().back() == '\n');
    ResponseHead head;
    std::string why;
    if (!parseResponseHead(reader.text(), head, why)) {
        check(!why.empty());
        return 0;
    }
    check(head.status >= 100 && head.status <= 599);
    check(head.contentLength >= -1 && head.contentLength <= INT32_MAX);
    for (char c : head.location) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);

    // A Location that passes the URL check can go into a request line and a
    // Host line as it is, and its cache name stays a legal name in the cache.
    HttpUrl url;
    if (parseHttpUrl(head.location.c_str(), url, why)) {
        for (char c : head.location) check(static_cast<unsigned char>(c) > 0x20 && c != 0x7f);
        check(!url.host.empty() && url.host.size() <= MAX_HOST_LENGTH);
        check(url.port != 0);
        const std::string cacheName = cacheFileName(head.location.c_str());
        check(cacheName.empty() || (cacheName.size() <= 259 && IsLegalFileName(cacheName.c_str()) &&
                                    cacheName.compare(0, 13, "user://cache/") == 0 &&
                                    cacheName.find('/', 13) == std::string::npos));
    }
    return 0;
}
