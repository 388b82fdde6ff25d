// Downloading a 32 MB file from a loopback server through HttpRequest, against
// a plain socket reader fetching the same file from the same server in the
// same run: connect, one GET, receive until the server closes into a buffer
// of the whole response allocated for the fetch (a reader that hands the file
// over must allocate it, as HttpRequest does). The goal is a throughput of at
// least 0.8 of the plain reader's (a ratio of at least 0.8 in the comparison
// table). Both wait on the loopback server, so on a busy
// machine measure them interleaved:
//   --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "../tests/fs/loopback_server.h"
#include "api/engine_api.h"
#include "platform/platform.h"
#include "bench_support.h"
#include "compare.h"

namespace {

constexpr size_t FILE_SIZE = 32u << 20;

struct Fixture {
    std::string response;
    vz::nettest::LoopbackServer server;

    Fixture() : server([this](vz::nettest::LoopbackServer::Connection& c) { c.send(response); }, 24 * 3600 * 1000) {
        vz::bench::startQuietEngine();
        response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(FILE_SIZE) + "\r\n\r\n";
        uint32_t x = 12345;
        for (size_t i = 0; i < FILE_SIZE; ++i) {
            x = x * 1103515245u + 12345u;
            response += static_cast<char>(x >> 24);
        }
        if (!server.listening()) std::abort();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_HttpRequestDownload(benchmark::State& state) {
    const std::string url = fixture().server.url("big.bin");
    for (auto _ : state) {
        VozerBuffer response{};
        const int32_t result = vz::api()->HttpRequest(VZ_HTTP_GET, url.c_str(), nullptr, "", 0, &response, nullptr);
        if (result != 200 || response.size != static_cast<int32_t>(FILE_SIZE)) state.SkipWithError("download failed");
        benchmark::DoNotOptimize(response.data);
        vz::api()->FreeBuffer(&response);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(FILE_SIZE));
}

void BM_PlainSocketReader(benchmark::State& state) {
    using namespace vz::platform;
    const uint16_t port = fixture().server.port();
    uint32_t address = 0;
    if (!resolveHost("127.0.0.1", address)) std::abort();
    const size_t capacity = fixture().response.size() + 1;
    const std::string request = "GET /big.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    for (auto _ : state) {
        char* buffer = static_cast<char*>(std::malloc(capacity));
        Socket s = openTcpSocket();
        startConnect(s, address, port);
        waitSocket(s, true, 5000);
        sendSome(s, request.data(), request.size());
        size_t total = 0;
        for (;;) {
            const int got = receiveSome(s, buffer + total, capacity - total);
            if (got == 0 || got == SOCKET_FAILED) break;
            if (got > 0) total += static_cast<size_t>(got);
            else waitSocket(s, false, 5000);
        }
        closeSocket(s);
        if (total != fixture().response.size()) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(FILE_SIZE));
}

BENCHMARK(BM_PlainSocketReader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpRequestDownload)->Unit(benchmark::kMillisecond)->UseRealTime();

VOZER_COMPARE(BM_HttpRequestDownload, BM_PlainSocketReader, "");

}  // namespace
