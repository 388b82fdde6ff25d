// Where the mix goes: the sound device (waveOut on Windows; the development
// host has none), and a WAV file capturing it for tests and servers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace wave {

class Output {
public:
    virtual ~Output() = default;
    // Queue one block of interleaved 16-bit stereo; waits while the device's
    // queue is full, which is what paces the mixer. False when the device
    // stopped working.
    virtual bool write(const int16_t* samples, int frames) = 0;
};

// Open the system's default device for `blocks` queued blocks of
// `blockFrames` frames (the latency is their total). Null with the reason
// when there is no device.
std::unique_ptr<Output> openOutput(int rate, int blockFrames, int blocks, std::string* error);

// A 16-bit stereo WAV file of everything mixed. Its header is brought up to
// date every second and at close, so a run that is killed leaves a file
// that plays up to about that second.
class CaptureFile {
public:
    ~CaptureFile() { close(); }
    bool open(const std::string& path, int rate, std::string* error);
    void write(const int16_t* samples, int frames);
    void close();
    bool isOpen() const { return file_ != nullptr; }

private:
    void writeHeader();
    std::FILE* file_ = nullptr;
    int rate_ = 0;
    uint32_t dataBytes_ = 0;
    uint32_t sinceHeader_ = 0;
};

}  // namespace wave
