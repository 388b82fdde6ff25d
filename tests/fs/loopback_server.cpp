#include "loopback_server.h"

#include <cstdlib>

namespace vz::nettest {

namespace {

constexpr int SLICE_MS = 20;
constexpr int REQUEST_TIMEOUT_MS = 5000;
constexpr int SEND_STALL_MS = 10000;
constexpr size_t MAX_REQUEST_HEAD = 64 * 1024;
constexpr size_t MAX_REQUEST_BODY = 1 << 20;

int elapsedSince(uint32_t start) { return static_cast<int>(platform::timeMs() - start); }

// Content-Length of a request head, 0 when absent or unreadable.
size_t contentLengthOf(const std::string& head) {
    size_t at = 0;
    while ((at = head.find('\n', at)) != std::string::npos) {
        ++at;
        if (head.compare(at, 15, "Content-Length:") == 0) {
            long value = std::strtol(head.c_str() + at + 15, nullptr, 10);
            return value > 0 ? static_cast<size_t>(value) : 0;
        }
    }
    return 0;
}

}  // namespace

std::string LoopbackServer::Request::path() const {
    size_t space = head.find(' ');
    if (space == std::string::npos) return std::string();
    size_t end = head.find(' ', space + 1);
    if (end == std::string::npos) return std::string();
    return head.substr(space + 1, end - space - 1);
}

bool LoopbackServer::Connection::readRequest() {
    const uint32_t start = platform::timeMs();
    std::string data;
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    char block[4096];
    for (;;) {
        if (headEnd != std::string::npos && data.size() >= headEnd + wanted) break;
        if (stopping() || elapsedSince(start) > REQUEST_TIMEOUT_MS || data.size() > MAX_REQUEST_HEAD + MAX_REQUEST_BODY)
            return false;
        const int got = platform::receiveSome(socket_, block, sizeof block);
        if (got == 0 || got == platform::SOCKET_FAILED) return false;
        if (got < 0) {
            platform::waitSocket(socket_, false, SLICE_MS);
            continue;
        }
        data.append(block, static_cast<size_t>(got));
        if (headEnd == std::string::npos) {
            size_t at = data.find("\r\n\r\n");
            if (at == std::string::npos) {
                if (data.size() > MAX_REQUEST_HEAD) return false;
                continue;
            }
            headEnd = at + 4;
            wanted = contentLengthOf(data.substr(0, headEnd));
            if (wanted > MAX_REQUEST_BODY) return false;
        }
    }
    request_.head = data.substr(0, headEnd);
    request_.body = data.substr(headEnd, wanted);
    return true;
}

bool LoopbackServer::Connection::send(const void* data, size_t bytes) {
    const char* at = static_cast<const char*>(data);
    uint32_t lastProgress = platform::timeMs();
    while (bytes > 0) {
        if (socket_ == platform::NO_SOCKET || stopping() || elapsedSince(lastProgress) > SEND_STALL_MS) return false;
        const int sent = platform::sendSome(socket_, at, bytes);
        if (sent == platform::SOCKET_FAILED) return false;
        if (sent > 0) {
            at += sent;
            bytes -= static_cast<size_t>(sent);
            lastProgress = platform::timeMs();
        } else {
            platform::waitSocket(socket_, true, SLICE_MS);
        }
    }
    return true;
}

void LoopbackServer::Connection::pause(int milliseconds) {
    const uint32_t start = platform::timeMs();
    while (!stopping() && elapsedSince(start) < milliseconds) platform::sleepMs(5);
}

void LoopbackServer::Connection::reset() {
    platform::resetSocket(socket_);
    socket_ = platform::NO_SOCKET;
}

LoopbackServer::LoopbackServer(Handler handler, int lifetimeMs, uint16_t preferredPort)
    : handler_(std::move(handler)) {
    if (!platform::startSockets()) return;
    port_ = preferredPort;
    listener_ = platform::listenLoopback(port_);
    if (listener_ == platform::NO_SOCKET && preferredPort != 0) {
        port_ = 0;
        listener_ = platform::listenLoopback(port_);
    }
    if (listener_ == platform::NO_SOCKET) return;
    thread_ = std::thread([this, lifetimeMs] { serve(lifetimeMs); });
}

LoopbackServer::~LoopbackServer() {
    stop();
    platform::closeSocket(listener_);
}

void LoopbackServer::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

void LoopbackServer::serve(int lifetimeMs) {
    const uint32_t start = platform::timeMs();
    while (!stopping_ && elapsedSince(start) < lifetimeMs) {
        if (platform::waitSocket(listener_, false, SLICE_MS) != platform::SocketWait::Ready) continue;
        const platform::Socket socket = platform::acceptConnection(listener_);
        if (socket == platform::NO_SOCKET) continue;
        ++connections_;
        Connection connection(socket, *this);
        if (connection.readRequest()) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back(connection.request_);
            }
            handler_(connection);
        }
        platform::closeSocket(connection.socket_);
    }
    finished_ = true;
}

}  // namespace vz::nettest
