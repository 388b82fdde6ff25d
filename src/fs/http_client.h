// The HTTP/1.0 client behind HttpRequest and the http:// opener: URL checks,
// the response-head reader (the part that parses what a server sends), the
// blocking request itself and the download cache's file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "vozer_api.h"

namespace vz::fs {

class FileOpener;

// Bounds that keep a broken or hostile server from holding a thread or
// memory for ever. Tests shorten the time-outs.
struct HttpLimits {
    int connectTimeoutMs = 10000;
    int headTimeoutMs = 30000;     // the whole response head, however it trickles in
    int stallTimeoutMs = 15000;    // no byte at all for this long ends the request
    int closeWaitMs = 1000;        // after Content-Length bytes: time for the server to close
    int maxRedirects = 5;
    size_t maxStatusLine = 1024;
    size_t maxHeaderLine = 8192;
    int maxHeaderLines = 100;
    size_t maxHeadBytes = 65536;
    uint32_t maxBodyBytes = 256u << 20;
};
HttpLimits& httpLimits();

// --- URLs ---------------------------------------------------------------------

constexpr size_t MAX_HOST_LENGTH = 255;

struct HttpUrl {
    std::string host;  // without the port
    uint16_t port = 80;
    std::string path;  // after the host, without its leading slashes
};

// Split an http:// URL. False, with the reason in `why`, for anything that
// cannot be sent safely: another scheme, control characters or spaces, an
// empty or over-long host, a host with characters a name cannot have, a port
// that is not 1-65535.
bool parseHttpUrl(const char* url, HttpUrl& out, std::string& why);

// --- Response heads ------------------------------------------------------------

struct ResponseHead {
    int status = 0;              // the three digits of the status line
    int64_t contentLength = -1;  // -1 when the server gave none
    bool chunked = false;        // Transfer-Encoding other than identity
    std::string location;        // the Location value, trimmed ("" when none or unsafe)
    bool unsafeLocation = false; // a Location holding control characters (NUL included) was dropped
};

// Collects a response head byte by byte up to the empty line that ends it,
// refusing heads that break the limits before they can grow.
class ResponseHeadReader {
public:
    enum class State { Reading, Complete, Refused };
    explicit ResponseHeadReader(const HttpLimits& limits) : limits_(limits) {}
    // Take bytes until the head ends; returns how many were taken (the rest
    // belongs to the body).
    size_t feed(const char* data, size_t bytes);
    State state() const { return state_; }
    // Why the head was refused.
    const std::string& problem() const { return problem_; }
    // The raw head as received (what the log and a refused response show).
    const std::string& text() const { return text_; }

private:
    void refuse(const std::string& why);
    const HttpLimits& limits_;
    State state_ = State::Reading;
    std::string text_;
    std::string problem_;
    size_t lineLength_ = 0;  // characters of the current line, carriage returns not counted
    int lines_ = 0;
};

// Interpret a complete head: the status line and the fields the client needs.
// False, with the reason, for a malformed status line or a Content-Length that
// is not a plain decimal number below 2^31 or that is given twice with
// different values.
bool parseResponseHead(const std::string& text, ResponseHead& out, std::string& why);

// Text safe to put in a log line: control characters other than CR, LF and
// tab become '?', and the text is cut at `max` bytes.
std::string printable(const std::string& text, size_t max = 2048);

// --- Requests -------------------------------------------------------------------

// The request behind the HttpRequest slot (same arguments and results).
int32_t httpRequest(int32_t method, const char* url, const char* contentType, const void* body, int32_t bodyLength,
                    VozerBuffer* response, volatile int32_t* cancel);

// --- Download cache ----------------------------------------------------------------

// "user://cache/" and the URL with '/' as '_' and only letters, digits and
// . - _ ~ % kept; runs of dots and a final dot are broken up so the name can
// neither climb out of the cache nor alias another file. Empty when longer
// than 259 characters.
std::string cacheFileName(const char* url);

// Who asks for a download: the messages differ (files and bitmaps had their
// own texts long before they shared the cache).
enum class DownloadFor { File, Bitmap };

// The cache file of `url` (user://cache/...), downloaded first when it is
// missing or empty. The whole body is written or nothing: a failed, refused
// or incomplete download leaves no file and gives "" after its message. Runs
// on any thread; the download stops at shutdown.
std::string fetchIntoCache(const char* url, DownloadFor who);

// The third link of the opener chain: http:// paths, downloaded once into the
// cache and served from there.
std::unique_ptr<FileOpener> makeHttpOpener();

}  // namespace vz::fs
