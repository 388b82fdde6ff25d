// The Windows sound device through waveOut: a ring of blocks queued to the
// default device; write() waits for the oldest to come back before reusing
// it, so the device's pace drives the mixer.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "output.h"

namespace wave {

namespace {

class WaveOut : public Output {
public:
    ~WaveOut() override {
        if (device_) {
            waveOutReset(device_);
            for (Block& block : blocks_)
                if (block.header.dwFlags & WHDR_PREPARED)
                    waveOutUnprepareHeader(device_, &block.header, sizeof block.header);
            waveOutClose(device_);
        }
        if (event_) CloseHandle(event_);
    }

    bool open(int rate, int blockFrames, int blocks, std::string* error) {
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        WAVEFORMATEX format = {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = static_cast<DWORD>(rate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = 4;
        format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
        const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                                            CALLBACK_EVENT);
        if (result != MMSYSERR_NOERROR) {
            device_ = nullptr;
            *error = "waveOutOpen error " + std::to_string(result) + ", " + std::to_string(waveOutGetNumDevs()) +
                     " devices";
            return false;
        }
        blocks_.resize(static_cast<size_t>(blocks));
        for (Block& block : blocks_) {
            block.samples.assign(static_cast<size_t>(blockFrames) * 2, 0);
            block.header.lpData = reinterpret_cast<LPSTR>(block.samples.data());
            block.header.dwBufferLength = static_cast<DWORD>(block.samples.size() * sizeof(int16_t));
            if (waveOutPrepareHeader(device_, &block.header, sizeof block.header) != MMSYSERR_NOERROR) {
                *error = "waveOutPrepareHeader failed";
                return false;
            }
            block.header.dwFlags |= WHDR_DONE;  // free to fill
        }
        return true;
    }

    bool write(const int16_t* samples, int frames) override {
        Block& block = blocks_[next_];
        // Wait for the device to hand this block back; give up on a device
        // that has not moved for two seconds.
        for (int waited = 0; !(block.header.dwFlags & WHDR_DONE); waited += 50) {
            if (waited >= 2000) return false;
            WaitForSingleObject(event_, 50);
        }
        const size_t count = static_cast<size_t>(frames) * 2;
        if (count > block.samples.size()) return false;
        std::copy(samples, samples + count, block.samples.begin());
        block.header.dwBufferLength = static_cast<DWORD>(count * sizeof(int16_t));
        block.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        if (waveOutWrite(device_, &block.header, sizeof block.header) != MMSYSERR_NOERROR) return false;
        next_ = (next_ + 1) % blocks_.size();
        return true;
    }

private:
    struct Block {
        WAVEHDR header = {};
        std::vector<int16_t> samples;
    };
    HWAVEOUT device_ = nullptr;
    HANDLE event_ = nullptr;
    std::vector<Block> blocks_;
    size_t next_ = 0;
};

}  // namespace

std::unique_ptr<Output> openOutput(int rate, int blockFrames, int blocks, std::string* error) {
    auto output = std::make_unique<WaveOut>();
    if (!output->open(rate, blockFrames, blocks, error)) return nullptr;
    return output;
}

}  // namespace wave
