// A small HTTP server for tests and benchmarks. It listens on 127.0.0.1 only,
// serves one connection at a time from its own thread through a handler that
// writes whatever bytes the case needs (well-formed or hostile), and stops by
// itself after its lifetime, whatever the client does.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace vz::nettest {

class LoopbackServer {
public:
    struct Request {
        std::string head;  // request line and fields, up to and including the empty line
        std::string body;  // Content-Length bytes
        // The path of the request line ("/a/b.png"), empty when malformed.
        std::string path() const;
    };

    class Connection {
    public:
        Connection(platform::Socket socket, const LoopbackServer& server) : socket_(socket), server_(server) {}
        const Request& request() const { return request_; }
        // False once the client has gone, a send stalls for 10 s, or the server stops.
        bool send(const void* data, size_t bytes);
        bool send(const std::string& text) { return send(text.data(), text.size()); }
        // Wait; returns early when the server stops.
        void pause(int milliseconds);
        // Close so that the client sees a reset.
        void reset();
        bool stopping() const { return server_.stopping_; }

    private:
        friend class LoopbackServer;
        bool readRequest();
        platform::Socket socket_;
        const LoopbackServer& server_;
        Request request_;
    };

    using Handler = std::function<void(Connection&)>;

    // `preferredPort` is tried first; when it is taken any free port serves.
    explicit LoopbackServer(Handler handler, int lifetimeMs = 20000, uint16_t preferredPort = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool listening() const { return listener_ != platform::NO_SOCKET; }
    uint16_t port() const { return port_; }
    // "http://127.0.0.1:PORT/" followed by `path`.
    std::string url(const std::string& path) const;
    int connections() const { return connections_; }
    std::vector<Request> requests() const;
    // Stop serving and wait for the thread (the destructor does it too).
    void stop();
    // True once the server thread has ended on its own (lifetime or stop).
    bool finished() const { return finished_; }

private:
    void serve(int lifetimeMs);

    Handler handler_;
    platform::Socket listener_ = platform::NO_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex lock_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace vz::nettest
