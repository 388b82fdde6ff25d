// Ogg Vorbis through libvorbisfile, reading from a ByteSource from start to
// end: a stream that breaks off (a damaged page, a link of another layout in
// a chained stream) ends there with the reason; holes in the data are
// skipped. Streams are opened for reading straight through, never for
// seeking: libvorbisfile's seekable open reads the whole file up front, and
// on some damaged files it loses memory. Going back to the start is opening
// again. The length is therefore not known before the end.
// Only our own callbacks are used; the header's ready-made ones would be unused copies.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "decoder.h"

namespace wave {

namespace {

size_t readCallback(void* out, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<ByteSource*>(source)->read(out, size * count) / size;
}

class VorbisDecoder : public Decoder {
public:
    explicit VorbisDecoder(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}
    ~VorbisDecoder() override {
        if (open_) ov_clear(&file_);
    }

    bool open(std::string* error) {
        if (!start()) {
            *error = "not an Ogg Vorbis stream";
            return false;
        }
        const vorbis_info* info = ov_info(&file_, -1);
        if (!info) {
            *error = "its Vorbis headers are unreadable";
            return false;
        }
        if (info->channels < 1 || info->channels > MAX_CHANNELS) {
            *error = std::to_string(info->channels) + " channels (mono or stereo only)";
            return false;
        }
        if (info->rate < MIN_RATE || info->rate > MAX_RATE) {
            *error = "a rate of " + std::to_string(info->rate) + " Hz";
            return false;
        }
        channels_ = info->channels;
        rate_ = static_cast<int>(info->rate);
        return true;
    }

    int read(int16_t* out, int frames) override {
        if (failed()) return 0;
        int done = 0;
        while (done < frames) {
            int link = 0;
            const int bytes = (frames - done) * channels_ * 2;
            const long got = ov_read(&file_, reinterpret_cast<char*>(out + done * channels_), bytes, 0, 2, 1, &link);
            if (got == 0) break;  // the end
            if (got == OV_HOLE) continue;  // damaged data skipped; decoding goes on
            if (got < 0) {
                error_ = "the stream is damaged after " + std::to_string(done) + " frames of this read";
                break;
            }
            const vorbis_info* info = ov_info(&file_, link);
            if (!info || info->channels != channels_ || info->rate != rate_) {
                error_ = "a later part of the stream has another channel count or rate";
                break;
            }
            done += static_cast<int>(got / (channels_ * 2));
        }
        return done;
    }

    bool rewind() override {
        if (failed()) return false;
        if (!start()) {
            error_ = "cannot go back to the start of the stream";
            return false;
        }
        return true;
    }

private:
    // Open the stream at its first byte.
    bool start() {
        if (open_) ov_clear(&file_);
        open_ = false;
        const ov_callbacks callbacks = {readCallback, nullptr, nullptr, nullptr};
        if (!source_->seek(0) || ov_open_callbacks(source_.get(), &file_, nullptr, 0, callbacks) != 0) return false;
        open_ = true;
        return true;
    }

    std::unique_ptr<ByteSource> source_;
    OggVorbis_File file_{};
    bool open_ = false;
};

}  // namespace

std::unique_ptr<Decoder> openVorbis(std::unique_ptr<ByteSource> source, std::string* error) {
    auto decoder = std::make_unique<VorbisDecoder>(std::move(source));
    std::string why;
    if (!decoder->open(&why)) {
        if (error) *error = why;
        return nullptr;
    }
    return decoder;
}

}  // namespace wave
