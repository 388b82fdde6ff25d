// Decoding sound files into 16-bit samples: the byte sources decoders read
// from, and the decoders for RIFF WAVE (PCM) and Ogg Vorbis. Everything here
// works on a ByteSource, so the same code reads the engine's files, memory
// (fuzzing, tests) and streams music piece by piece.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wave {

// Where a decoder's bytes come from. Reads past the end give fewer bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes read into `out` (0 at the end or on failure).
    virtual size_t read(void* out, size_t bytes) = 0;
    // Move to an absolute offset; false when it lies outside the data.
    virtual bool seek(int64_t offset) = 0;
    virtual int64_t tell() const = 0;
    // Total size in bytes.
    virtual int64_t size() const = 0;
};

// Bytes held in memory (borrowed: the caller keeps them alive).
class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    size_t read(void* out, size_t bytes) override;
    bool seek(int64_t offset) override;
    int64_t tell() const override { return static_cast<int64_t>(position_); }
    int64_t size() const override { return static_cast<int64_t>(size_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Limits on what is accepted as a sound: anything else is refused with a
// message rather than played at a wrong speed or into wrong speakers.
constexpr int MIN_RATE = 4000;
constexpr int MAX_RATE = 192000;
constexpr int MAX_CHANNELS = 2;

// A sound file opened for decoding, as interleaved signed 16-bit frames.
class Decoder {
public:
    virtual ~Decoder() = default;
    int channels() const { return channels_; }
    int rate() const { return rate_; }
    // Frames in the whole sound; -1 when the file does not say (Ogg Vorbis).
    int64_t frames() const { return frames_; }
    // Size of the file the sound comes from, in bytes.
    int64_t fileBytes() const { return fileBytes_; }
    // Decode up to `frames` frames into `out` (frames x channels samples).
    // Fewer at the end; 0 at the end or after a failure (see failed()).
    virtual int read(int16_t* out, int frames) = 0;
    // Back to the first frame (looping); false on failure.
    virtual bool rewind() = 0;
    // Set when decoding broke off; the text says why.
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

protected:
    int channels_ = 0;
    int rate_ = 0;
    int64_t frames_ = -1;
    int64_t fileBytes_ = 0;
    std::string error_;

    friend std::unique_ptr<Decoder> openDecoder(std::unique_ptr<ByteSource>, std::string*, std::string*);
};

// Open a decoder by the file's content (RIFF WAVE or Ogg Vorbis). On refusal
// null, with the reason in `error`; `notes` gets warnings about damage that
// was worked around (a data size larger than the file, for one).
std::unique_ptr<Decoder> openDecoder(std::unique_ptr<ByteSource> source, std::string* error,
                                     std::string* notes = nullptr);

// The two formats, for callers (fuzzing, tests) that know which they have.
std::unique_ptr<Decoder> openWav(std::unique_ptr<ByteSource> source, std::string* error, std::string* notes);
std::unique_ptr<Decoder> openVorbis(std::unique_ptr<ByteSource> source, std::string* error);

// A whole sound decoded into memory.
struct Pcm {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;  // interleaved
    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
};

// Decode everything the decoder gives, at most `maxFrames` frames. False when
// decoding failed before the end (what was decoded stays in `pcm`).
bool decodeAll(Decoder& decoder, Pcm* pcm, int64_t maxFrames);

}  // namespace wave
