// The HTTP server of the end-to-end cases: the loopback server of the tests
// as a program of its own, so a game started by the driver can download from
// it (under Wine too). It serves a patterned file of any size, files of a
// folder, and 404 for the rest; it ends after a number of requests or its
// lifetime, whichever comes first.
//
//   vozer_test_httpd --port-file FILE [--pattern NAME:BYTES] [--root DIR]
//                    [--requests N] [--seconds N]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fs/loopback_server.h"
#include "../../programs/net/download_pattern.h"

using vz::nettest::LoopbackServer;

namespace {

struct Options {
    std::string portFile, patternName, root;
    uint32_t patternBytes = 0;
    int requests = 1000000, seconds = 60;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--port-file") o.portFile = value;
        else if (key == "--root") o.root = value;
        else if (key == "--requests") o.requests = std::atoi(value.c_str());
        else if (key == "--seconds") o.seconds = std::atoi(value.c_str());
        else if (key == "--pattern" && value.find(':') != std::string::npos) {
            o.patternName = value.substr(0, value.find(':'));
            o.patternBytes = static_cast<uint32_t>(std::strtoul(value.c_str() + value.find(':') + 1, nullptr, 10));
        } else return false;
    }
    return !o.portFile.empty() && argc % 2 == 1;
}

void servePattern(LoopbackServer::Connection& c, uint32_t bytes) {
    if (!c.send("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                std::to_string(bytes) + "\r\n\r\n"))
        return;
    std::vector<uint8_t> block(64 * 1024);
    for (uint32_t at = 0; at < bytes;) {
        const uint32_t n = bytes - at < block.size() ? bytes - at : static_cast<uint32_t>(block.size());
        for (uint32_t i = 0; i < n; ++i) block[i] = downloadPatternByte(at + i);
        if (!c.send(block.data(), n)) return;
        at += n;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s --port-file FILE [--pattern NAME:BYTES] [--root DIR] [--requests N] "
                             "[--seconds N]\n", argv[0]);
        return 2;
    }
    std::atomic<int> served{0};
    LoopbackServer server([&](LoopbackServer::Connection& c) {
        const std::string path = c.request().path();
        const std::string name = path.empty() ? path : path.substr(1);
        std::ifstream file;
        if (!o.patternName.empty() && name == o.patternName) {
            servePattern(c, o.patternBytes);
        } else if (!o.root.empty() && name.find("..") == std::string::npos &&
                   (file.open(o.root + "/" + name, std::ios::binary), file)) {
            const std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            c.send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        } else {
            c.send("HTTP/1.0 404 Not Found\r\n\r\n");
        }
        ++served;
    }, o.seconds * 1000);
    if (!server.listening()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    // Written whole under another name first, so a reader never sees half a number.
    const std::string partial = o.portFile + ".part";
    if (FILE* out = std::fopen(partial.c_str(), "w")) {
        std::fprintf(out, "%u\n", static_cast<unsigned>(server.port()));
        std::fclose(out);
        std::remove(o.portFile.c_str());
        std::rename(partial.c_str(), o.portFile.c_str());
    }
    while (!server.finished() && served < o.requests) vz::platform::sleepMs(20);
    server.stop();
    std::printf("served %d requests\n", served.load());
    return 0;
}
