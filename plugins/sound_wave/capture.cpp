// The capture file: a RIFF WAVE header followed by the mix as it is made.
#include <cstring>

#include "output.h"

namespace wave {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

constexpr uint32_t MAX_DATA = 0xFFFFFFFFu - 36;

}  // namespace

bool CaptureFile::open(const std::string& path, int rate, std::string* error) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        *error = "cannot create '" + path + "'";
        return false;
    }
    rate_ = rate;
    dataBytes_ = sinceHeader_ = 0;
    writeHeader();
    return true;
}

void CaptureFile::writeHeader() {
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes_);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, 2);
    put32(h + 24, static_cast<uint32_t>(rate_));
    put32(h + 28, static_cast<uint32_t>(rate_) * 4);
    put16(h + 32, 4);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes_);
    const long end = std::ftell(file_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    if (end > static_cast<long>(sizeof h)) std::fseek(file_, end, SEEK_SET);
    std::fflush(file_);
}

void CaptureFile::write(const int16_t* samples, int frames) {
    if (!file_ || frames <= 0) return;
    const uint32_t bytes = static_cast<uint32_t>(frames) * 4;
    if (bytes > MAX_DATA - dataBytes_) return;  // a WAV file ends at 4 GB
    uint8_t buffer[4096];
    const int perChunk = sizeof buffer / 4;
    for (int done = 0; done < frames; done += perChunk) {
        const int n = frames - done < perChunk ? frames - done : perChunk;
        for (int i = 0; i < n * 2; ++i) put16(buffer + 2 * i, static_cast<uint16_t>(samples[done * 2 + i]));
        std::fwrite(buffer, 1, static_cast<size_t>(n) * 4, file_);
    }
    dataBytes_ += bytes;
    sinceHeader_ += static_cast<uint32_t>(frames);
    if (sinceHeader_ >= static_cast<uint32_t>(rate_)) {
        sinceHeader_ = 0;
        writeHeader();
    }
}

void CaptureFile::close() {
    if (!file_) return;
    writeHeader();
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace wave
