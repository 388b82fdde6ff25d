// Byte sources in memory, choosing a decoder by content, decoding whole.
#include <cstring>

#include "decoder.h"

namespace wave {

size_t MemorySource::read(void* out, size_t bytes) {
    const size_t left = size_ - position_;
    if (bytes > left) bytes = left;
    if (bytes) std::memcpy(out, data_ + position_, bytes);
    position_ += bytes;
    return bytes;
}

bool MemorySource::seek(int64_t offset) {
    if (offset < 0 || static_cast<uint64_t>(offset) > size_) return false;
    position_ = static_cast<size_t>(offset);
    return true;
}

std::unique_ptr<Decoder> openDecoder(std::unique_ptr<ByteSource> source, std::string* error, std::string* notes) {
    uint8_t magic[4] = {};
    if (!source->seek(0) || source->read(magic, 4) != 4) {
        if (error) *error = source->size() == 0 ? "the file is empty" : "the file is too short to be a sound";
        return nullptr;
    }
    const int64_t bytes = source->size();
    std::unique_ptr<Decoder> decoder;
    if (std::memcmp(magic, "RIFF", 4) == 0) {
        decoder = openWav(std::move(source), error, notes);
    } else if (std::memcmp(magic, "OggS", 4) == 0) {
        decoder = openVorbis(std::move(source), error);
    } else if (error) {
        *error = "not a WAV or Ogg Vorbis file";
    }
    if (decoder) decoder->fileBytes_ = bytes;
    return decoder;
}

bool decodeAll(Decoder& decoder, Pcm* pcm, int64_t maxFrames) {
    pcm->channels = decoder.channels();
    pcm->rate = decoder.rate();
    pcm->samples.clear();
    if (decoder.frames() > 0 && decoder.frames() <= maxFrames) {
        pcm->samples.reserve(static_cast<size_t>(decoder.frames()) * static_cast<size_t>(decoder.channels()));
    }
    constexpr int CHUNK = 4096;
    int16_t buffer[CHUNK * MAX_CHANNELS];
    int64_t total = 0;
    while (total < maxFrames) {
        int want = CHUNK;
        if (maxFrames - total < want) want = static_cast<int>(maxFrames - total);
        const int got = decoder.read(buffer, want);
        if (got <= 0) break;
        pcm->samples.insert(pcm->samples.end(), buffer, buffer + got * decoder.channels());
        total += got;
    }
    return !decoder.failed();
}

}  // namespace wave
