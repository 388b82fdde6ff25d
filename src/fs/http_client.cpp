// The blocking HTTP/1.0 request: connect, send, read the head, follow a few
// redirects, read the body until the server closes. Every wait is cut into
// short slices so that the cancel flag and the runtime's quit request are
// seen within a fraction of a second, and no wait outlasts its limit.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "fs/http_client.h"
#include "fs/response_blocks.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::fs {

namespace {

using platform::Socket;

constexpr int SLICE_MS = 50;
constexpr size_t RECEIVE_BLOCK = 64 * 1024;
constexpr size_t FIRST_BODY_CAPACITY = 64 * 1024;

enum class Wait { Ready, Cancelled, TimedOut, Failed };

// The flag is the Program's, set by another of its threads while this one waits.
struct Cancel {
    volatile int32_t* flag;
    bool operator()() const {
        if (flag && __atomic_load_n(flag, __ATOMIC_RELAXED) != 0) return true;
        const RuntimeState& state = rt();
        return state.quitRequested ||
               (state.shared.program && __atomic_load_n(&state.shared.program->display.quitting, __ATOMIC_RELAXED));
    }
};

// A socket that closes itself.
struct OwnedSocket {
    Socket socket = platform::NO_SOCKET;
    ~OwnedSocket() { platform::closeSocket(socket); }
};

int elapsedSince(uint32_t start) { return static_cast<int>(platform::timeMs() - start); }

Wait waitReady(Socket socket, bool forWrite, int timeoutMs, const Cancel& cancelled) {
    const uint32_t start = platform::timeMs();
    for (;;) {
        if (cancelled()) return Wait::Cancelled;
        const int left = timeoutMs - elapsedSince(start);
        if (left <= 0) return Wait::TimedOut;
        switch (platform::waitSocket(socket, forWrite, left < SLICE_MS ? left : SLICE_MS)) {
            case platform::SocketWait::Ready: return Wait::Ready;
            case platform::SocketWait::Failed: return Wait::Failed;
            case platform::SocketWait::TimedOut: break;
        }
    }
}

// Bytes received (0: the server closed), or -1 with the reason in `why`.
int receiveWithin(Socket socket, char* into, size_t bytes, int timeoutMs, const Cancel& cancelled, Wait& why) {
    for (;;) {
        if (cancelled()) {
            why = Wait::Cancelled;
            return -1;
        }
        const int got = platform::receiveSome(socket, into, bytes);
        if (got >= 0) return got;
        if (got == platform::SOCKET_FAILED) {
            why = Wait::Failed;
            return -1;
        }
        why = waitReady(socket, false, timeoutMs, cancelled);
        if (why != Wait::Ready) return -1;
    }
}

Wait sendAll(Socket socket, const char* data, size_t bytes, int timeoutMs, const Cancel& cancelled) {
    while (bytes > 0) {
        if (cancelled()) return Wait::Cancelled;
        const int sent = platform::sendSome(socket, data, bytes);
        if (sent == platform::SOCKET_FAILED) return Wait::Failed;
        if (sent > 0) {
            data += sent;
            bytes -= static_cast<size_t>(sent);
            continue;
        }
        const Wait w = waitReady(socket, true, timeoutMs, cancelled);
        if (w != Wait::Ready) return w;
    }
    return Wait::Ready;
}

// The record may be read by another of the Program's threads while the
// request runs (a loading bar): it reads `size`, then `data`, so the data
// pointer goes first, and a block is complete up to every size published
// after it.
void publishResponse(VozerBuffer* response, uint8_t* data, size_t size, int64_t total) {
    __atomic_store_n(&response->data, data, __ATOMIC_RELEASE);
    __atomic_store_n(&response->cursor, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&response->total, static_cast<int32_t>(total >= 0 ? total : static_cast<int64_t>(size)),
                     __ATOMIC_RELAXED);
    __atomic_store_n(&response->size, static_cast<int32_t>(size), __ATOMIC_RELEASE);
}

// The response record takes malloc'd memory: FreeBuffer releases it.
void handOver(VozerBuffer* response, uint8_t* data, size_t size, int64_t total) {
    if (!response) {
        std::free(data);
        return;
    }
    publishResponse(response, data, size, total);
}

// A refused response: the record holds the head's text, as the Program may show it.
int32_t refuseWithHead(VozerBuffer* response, const std::string& head) {
    if (!response) return VZ_HTTP_REFUSED;
    if (response->data) {
        uint8_t* old = response->data;
        publishResponse(response, nullptr, 0, 0);
        std::free(old);
    }
    auto* copy = static_cast<uint8_t*>(std::malloc(head.size() + 1));
    if (!copy) return VZ_HTTP_REFUSED;
    std::memcpy(copy, head.data(), head.size());
    copy[head.size()] = 0;
    handOver(response, copy, head.size(), static_cast<int64_t>(head.size()));
    return VZ_HTTP_REFUSED;
}

const char* methodName(int32_t method) {
    switch (method) {
        case VZ_HTTP_POST: return "POST ";
        case VZ_HTTP_GET: return "GET ";
        case VZ_HTTP_HEAD: return "HEAD ";
        default: return nullptr;
    }
}

struct Request {
    int32_t method;
    std::string contentType;
    const void* body;
    int32_t bodyLength;
    VozerBuffer* response;
    Cancel cancelled;
};

// One exchange with one server. A redirect the client may follow comes back
// as kRedirect with the next URL in `next`.
constexpr int32_t kRedirect = 1;

class Exchange {
public:
    Exchange(const Request& request, const HttpUrl& url) : r_(request), url_(url), limits_(httpLimits()) {}

    int32_t run(std::string& next, std::string& head) {
        OwnedSocket connection;
        if ((connection.socket = platform::openTcpSocket()) == platform::NO_SOCKET) return VZ_HTTP_NO_SOCKET;
        socket_ = connection.socket;
        uint32_t address = 0;
        if (!platform::resolveHost(url_.host.c_str(), address)) {
            api()->Log(1, "Unable to locate host '%s'\n", url_.host.c_str());
            return VZ_HTTP_NO_HOST;
        }
        int32_t result = connect(address);
        if (result == 0) result = sendRequest();
        if (result == 0) result = readHead(head);
        if (result != 0) return result;

        ResponseHead parsed;
        std::string why;
        if (!parseResponseHead(head, parsed, why)) {
            api()->Log(1, "Unexpected HTTP header received: '%s' (%s)\n", printable(head).c_str(), why.c_str());
            return refuseWithHead(r_.response, head);
        }
        if (parsed.status != 200) return notSuccessful(parsed, head, next);
        if (parsed.chunked) {
            api()->Log(1,
                       "The response from '%s' uses a transfer encoding (such as chunked) that an HTTP/1.0 "
                       "request never asks for. Refused.\n",
                       url_.host.c_str());
            return refuseWithHead(r_.response, head);
        }
        if (parsed.contentLength > static_cast<int64_t>(limits_.maxBodyBytes)) {
            api()->Log(1, "The response from '%s' announces %lld bytes, more than the %u bytes allowed.\n",
                       url_.host.c_str(), static_cast<long long>(parsed.contentLength), limits_.maxBodyBytes);
            return refuseWithHead(r_.response, head);
        }
        if (!r_.response) return VZ_HTTP_OK;
        return readBody(parsed.contentLength);
    }

private:
    int32_t connect(uint32_t address) {
        if (platform::startConnect(socket_, address, url_.port)) {
            const Wait w = waitReady(socket_, true, limits_.connectTimeoutMs, r_.cancelled);
            if (w == Wait::Cancelled) return VZ_HTTP_CANCELLED;
            if (w == Wait::Ready && platform::connectSucceeded(socket_)) return 0;
        }
        api()->Log(1, "Connect to '%s' failed.\n", url_.host.c_str());
        return VZ_HTTP_NO_CONNECTION;
    }

    int32_t sendRequest() {
        std::string text = methodName(r_.method);
        text += "/" + url_.path + " HTTP/1.0\r\n";
        text += "Accept: */*\r\n";
        text += "User-Agent: Mozilla/4.0\r\n";
        text += "Content-Length: " + std::to_string(r_.bodyLength) + "\r\n";
        text += "Accept-Language: en-us\r\n";
        text += "Host: " + url_.host + "\r\n";
        text += "Content-Type: " + r_.contentType + "\r\n";
        text += "\r\n";
        // The body and nothing after it: bytes beyond Content-Length stay unread
        // by the server, and a server that closes with unread bytes resets the
        // connection, which can cut off the end of its own response.
        if (r_.bodyLength > 0) text.append(static_cast<const char*>(r_.body), static_cast<size_t>(r_.bodyLength));
        const Wait w = sendAll(socket_, text.data(), text.size(), limits_.stallTimeoutMs, r_.cancelled);
        if (w == Wait::Ready) return 0;
        if (w == Wait::Cancelled) return VZ_HTTP_CANCELLED;
        api()->Log(1, "Sending the request to '%s' failed.\n", url_.host.c_str());
        return VZ_HTTP_NO_CONNECTION;
    }

    // The head, up to its empty line; body bytes that came with it are kept.
    int32_t readHead(std::string& head) {
        ResponseHeadReader reader(limits_);
        const uint32_t start = platform::timeMs();
        char block[4096];
        while (reader.state() == ResponseHeadReader::State::Reading) {
            int left = limits_.headTimeoutMs - elapsedSince(start);
            if (left > limits_.stallTimeoutMs) left = limits_.stallTimeoutMs;
            Wait why = Wait::TimedOut;
            const int got = left > 0 ? receiveWithin(socket_, block, sizeof block, left, r_.cancelled, why) : -1;
            if (got < 0 && why == Wait::Cancelled) return VZ_HTTP_CANCELLED;
            if (got <= 0) {
                head = reader.text();
                const char* what = got == 0                  ? "The connection to '%s' closed"
                                   : why == Wait::TimedOut ? "Timed out waiting for '%s'"
                                                           : "The connection to '%s' broke";
                api()->Log(1, "%s before the response head ended (%d bytes received).\n",
                           formatHost(what).c_str(), static_cast<int>(head.size()));
                return refuseWithHead(r_.response, head);
            }
            const size_t taken = reader.feed(block, static_cast<size_t>(got));
            early_.assign(block + taken, static_cast<size_t>(got) - taken);
        }
        head = reader.text();
        if (reader.state() == ResponseHeadReader::State::Refused) {
            api()->Log(1, "Refusing the response from '%s': %s.\n", url_.host.c_str(), reader.problem().c_str());
            return refuseWithHead(r_.response, head);
        }
        return 0;
    }

    std::string formatHost(const char* pattern) const {
        std::string text = pattern;
        return text.replace(text.find("%s"), 2, url_.host);
    }

    int32_t notSuccessful(const ResponseHead& parsed, const std::string& head, std::string& next) {
        api()->Log(1, "Unexpected HTTP header received: '%s'\n", printable(head).c_str());
        const int s = parsed.status;
        const bool redirect = s == 301 || s == 302 || s == 303 || s == 307;
        if (redirect && parsed.unsafeLocation) {
            api()->Log(1, "Not following a redirect whose Location holds control characters.\n");
            return refuseWithHead(r_.response, head);
        }
        if (redirect && !parsed.location.empty()) {
            const std::string& location = parsed.location;
            if (location.compare(0, 7, "http://") == 0) {
                next = location;
            } else if (location[0] == '/' && location.compare(0, 2, "//") != 0) {
                next = "http://" + url_.host + (url_.port != 80 ? ":" + std::to_string(url_.port) : "") + location;
            } else {
                api()->Log(1, "Not following the redirect to '%s': only http:// locations are followed.\n",
                           printable(location, 512).c_str());
                return refuseWithHead(r_.response, head);
            }
            return kRedirect;
        }
        return refuseWithHead(r_.response, head);
    }

    // A block once published may be in a reader's hands: growing copies
    // into a new block and keeps the outgrown one until the response is freed.
    struct Body {
        uint8_t* data = nullptr;
        size_t size = 0, capacity = 0;
        std::vector<uint8_t*> outgrown;
        ~Body() {
            std::free(data);
            for (uint8_t* block : outgrown) std::free(block);
        }
        bool reserve(size_t wanted) {
            if (wanted <= capacity) return true;
            auto* grown = static_cast<uint8_t*>(std::malloc(wanted));
            if (!grown) return false;
            if (data) {
                std::memcpy(grown, data, size);
                outgrown.push_back(data);
            }
            data = grown;
            capacity = wanted;
            return true;
        }
    };

    // Bytes go straight from the socket into the body: with a Content-Length
    // into one block of that size (plus a byte that catches a longer body and
    // the terminator), without one into a block that doubles.
    int32_t readBody(int64_t contentLength) {
        const bool announced = contentLength >= 0;
        const size_t length = announced ? static_cast<size_t>(contentLength) : 0;
        Body body;
        if (!body.reserve(announced ? length + 2 : FIRST_BODY_CAPACITY)) return outOfMemory(body, contentLength);
        if (early_.size() > body.capacity - 2) {
            result_ = tooLong(contentLength);
            return finish(body, contentLength);
        }
        std::memcpy(body.data, early_.data(), early_.size());
        body.size = early_.size();
        for (;;) {
            publish(body, contentLength);
            const bool complete = announced && body.size >= length;
            if (complete && body.size > length) {
                result_ = tooLong(contentLength);
                break;
            }
            if (!announced && body.capacity - body.size < RECEIVE_BLOCK + 1) {
                const size_t most = static_cast<size_t>(limits_.maxBodyBytes) + RECEIVE_BLOCK + 2;
                if (!body.reserve(body.capacity * 2 < most ? body.capacity * 2 : most))
                    return outOfMemory(body, contentLength);
            }
            const size_t room = announced ? length + 1 - body.size : body.capacity - body.size - 1;
            Wait why = Wait::TimedOut;
            const int got = receiveWithin(socket_, reinterpret_cast<char*>(body.data) + body.size, room,
                                          complete ? limits_.closeWaitMs : limits_.stallTimeoutMs, r_.cancelled, why);
            if (got == 0) break;  // the server closed: the end of the body
            if (got < 0) {
                if (why == Wait::Cancelled) {
                    result_ = VZ_HTTP_CANCELLED;
                } else if (complete) {
                    // All announced bytes are here; a server that keeps the
                    // connection open (or resets it) after them has said all.
                } else if (why == Wait::TimedOut) {
                    api()->Log(1, "'%s' sent nothing for %d ms; giving up after %u bytes.\n", url_.host.c_str(),
                               limits_.stallTimeoutMs, static_cast<unsigned>(body.size));
                    result_ = VZ_HTTP_REFUSED;
                } else {
                    api()->Log(1, "The connection to '%s' broke after %u bytes of the body.\n", url_.host.c_str(),
                               static_cast<unsigned>(body.size));
                    result_ = VZ_HTTP_REFUSED;
                }
                break;
            }
            body.size += static_cast<size_t>(got);
            if (!announced && body.size > limits_.maxBodyBytes) {
                api()->Log(1, "The response from '%s' is larger than the %u bytes allowed.\n", url_.host.c_str(),
                           limits_.maxBodyBytes);
                result_ = VZ_HTTP_REFUSED;
                break;
            }
        }
        return finish(body, contentLength);
    }

    int32_t finish(Body& body, int64_t contentLength) {
        publish(body, contentLength);
        keepOutgrownBlocks(body.data, std::move(body.outgrown));
        body.outgrown.clear();
        body.data = nullptr;  // the record owns it now
        return result_;
    }

    // The record shows the bytes received so far, so another thread can follow the download.
    void publish(Body& body, int64_t contentLength) {
        if (body.data) body.data[body.size] = 0;
        publishResponse(r_.response, body.data, body.size, contentLength);
    }

    int32_t tooLong(int64_t contentLength) {
        api()->Log(1, "'%s' sent more bytes than its Content-Length of %lld. Refused.\n", url_.host.c_str(),
                   static_cast<long long>(contentLength));
        return VZ_HTTP_REFUSED;
    }

    int32_t outOfMemory(Body& body, int64_t contentLength) {
        api()->Log(2, "Not enough memory for the response from '%s' (%lld bytes announced).\n", url_.host.c_str(),
                   static_cast<long long>(contentLength));
        (void)body;  // freed by its destructor
        publishResponse(r_.response, nullptr, 0, 0);
        return VZ_HTTP_REFUSED;
    }

    const Request& r_;
    const HttpUrl& url_;
    const HttpLimits& limits_;
    Socket socket_ = platform::NO_SOCKET;
    std::string early_;  // body bytes that arrived with the head
    int32_t result_ = VZ_HTTP_OK;
};

bool hasControlCharacter(const std::string& text) {
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return true;
    }
    return false;
}

}  // namespace

int32_t httpRequest(int32_t method, const char* url, const char* contentType, const void* body, int32_t bodyLength,
                    VozerBuffer* response, volatile int32_t* cancel) {
    if (response) publishResponse(response, nullptr, 0, 0);
    HttpUrl parsed;
    std::string why;
    if (!parseHttpUrl(url, parsed, why)) {
        api()->Log(1, "HTTP request refused for '%s': %s.\n", url ? printable(url, 512).c_str() : "(null)",
                   why.c_str());
        return VZ_HTTP_BAD_URL;
    }
    Request request{method, contentType ? contentType : "application/octet-stream", body, bodyLength, response,
                    Cancel{cancel}};
    if (!methodName(method)) why = "unknown method " + std::to_string(method);
    else if (hasControlCharacter(request.contentType)) why = "the content type holds a control character";
    else if (bodyLength < 0 || (bodyLength > 0 && !body)) why = "the body length is negative or the body is missing";
    if (!why.empty()) {
        api()->Log(1, "HTTP request refused for '%s': %s.\n", url, why.c_str());
        return VZ_HTTP_BAD_URL;
    }
    if (!platform::startSockets()) return VZ_HTTP_NO_SOCKET;
    if (method == VZ_HTTP_HEAD)
        api()->Popup(1,
                     "ZT_HTTP_REQUEST_HEAD is not tested properly yet. Check that it works as specified and update "
                     "the engine interface source (include/vozer_api.h) when it does.");

    for (int redirects = 0;; ++redirects) {
        std::string next, head;
        const int32_t result = Exchange(request, parsed).run(next, head);
        if (result != kRedirect) return result;
        if (redirects >= httpLimits().maxRedirects) {
            api()->Log(1, "Too many redirects (more than %d) starting at '%s'. Giving up.\n",
                       httpLimits().maxRedirects, url);
            return refuseWithHead(response, head);
        }
        if (!parseHttpUrl(next.c_str(), parsed, why)) {
            api()->Log(1, "Not following the redirect to '%s': %s.\n", printable(next, 512).c_str(), why.c_str());
            return refuseWithHead(response, head);
        }
        api()->Log(1, "Forwarding to '%s'..\n", next.c_str());
    }
}

}  // namespace vz::fs
