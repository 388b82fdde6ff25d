// RIFF WAVE files with PCM samples: 8-bit unsigned or 16-bit signed, mono or
// stereo, at any common rate (WAVE_FORMAT_PCM, or WAVE_FORMAT_EXTENSIBLE with
// a PCM sub-format). Damaged files are read as far as they make sense: a
// data chunk that claims more bytes than the file holds plays what is there,
// chunks of odd size are followed by their pad byte, and a header that lies
// about the sample layout is refused.
#include <cstring>

#include "decoder.h"

namespace wave {

namespace {

constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

class WavDecoder : public Decoder {
public:
    WavDecoder(std::unique_ptr<ByteSource> source, int channels, int rate, int bits, int64_t dataOffset,
               int64_t frames)
        : source_(std::move(source)), bits_(bits), dataOffset_(dataOffset) {
        channels_ = channels;
        rate_ = rate;
        frames_ = frames;
        source_->seek(dataOffset_);
    }

    int read(int16_t* out, int frames) override {
        if (failed() || frames <= 0) return 0;
        const int64_t left = frames_ - position_;
        if (left <= 0) return 0;
        if (frames > left) frames = static_cast<int>(left);
        const size_t frameBytes = static_cast<size_t>(channels_) * static_cast<size_t>(bits_ / 8);
        raw_.resize(static_cast<size_t>(frames) * frameBytes);
        const size_t got = source_->read(raw_.data(), raw_.size());
        const int whole = static_cast<int>(got / frameBytes);
        if (whole < frames) {
            // The file is shorter now than when it was opened.
            error_ = "the file ends inside its sample data";
        }
        const size_t samples = static_cast<size_t>(whole) * static_cast<size_t>(channels_);
        if (bits_ == 8) {
            for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((raw_[i] - 128) * 256);
        } else {
            for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(le16(&raw_[i * 2]));
        }
        position_ += whole;
        return whole;
    }

    bool rewind() override {
        if (failed()) return false;
        position_ = 0;
        if (!source_->seek(dataOffset_)) {
            error_ = "cannot go back to the start of the samples";
            return false;
        }
        return true;
    }

private:
    std::unique_ptr<ByteSource> source_;
    int bits_;
    int64_t dataOffset_;
    int64_t position_ = 0;
    std::vector<uint8_t> raw_;
};

}  // namespace

std::unique_ptr<Decoder> openWav(std::unique_ptr<ByteSource> source, std::string* error, std::string* notes) {
    auto refuse = [error](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<Decoder>();
    };
    uint8_t header[12];
    if (!source->seek(0) || source->read(header, sizeof header) != sizeof header ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
        return refuse("not a RIFF WAVE file");
    }
    const int64_t fileSize = source->size();
    bool haveFormat = false;
    uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
    uint32_t rate = 0;
    int64_t dataOffset = -1, dataBytes = 0;

    int64_t position = 12;
    while (position + 8 <= fileSize) {
        uint8_t chunk[8];
        if (!source->seek(position) || source->read(chunk, 8) != 8) break;
        const int64_t size = le32(chunk + 4);
        const int64_t body = position + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            uint8_t fmt[40] = {};
            if (size < 16) return refuse("its format chunk is too short");
            const size_t want = size < 40 ? static_cast<size_t>(size) : 40;
            if (source->read(fmt, want) != want) return refuse("the file ends inside its format chunk");
            format = le16(fmt);
            channels = le16(fmt + 2);
            rate = le32(fmt + 4);
            blockAlign = le16(fmt + 12);
            bits = le16(fmt + 14);
            if (format == FORMAT_EXTENSIBLE) {
                // The sub-format GUID's first two bytes carry the real format tag.
                format = want >= 26 ? le16(fmt + 24) : 0;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && dataOffset < 0) {
            dataOffset = body;
            dataBytes = size;
            if (body + size > fileSize) {
                dataBytes = fileSize - body;
                if (notes) {
                    *notes += "its data chunk claims " + std::to_string(size) + " bytes but the file holds " +
                              std::to_string(dataBytes) + "; playing what is there";
                }
            }
        }
        if (haveFormat && dataOffset >= 0) break;
        position = body + size + (size & 1);  // chunks are padded to even sizes
    }

    if (!haveFormat) return refuse("it has no format chunk");
    if (dataOffset < 0) return refuse("it has no data chunk");
    if (format != FORMAT_PCM) return refuse("its samples are not PCM (format " + std::to_string(format) + ")");
    if (channels < 1 || channels > MAX_CHANNELS) {
        return refuse(std::to_string(channels) + " channels (mono or stereo only)");
    }
    if (bits != 8 && bits != 16) return refuse(std::to_string(bits) + "-bit samples (8 or 16 only)");
    if (rate < static_cast<uint32_t>(MIN_RATE) || rate > static_cast<uint32_t>(MAX_RATE)) {
        return refuse("a rate of " + std::to_string(rate) + " Hz");
    }
    if (blockAlign != channels * (bits / 8)) return refuse("its block size does not match its sample layout");
    const int64_t frames = dataBytes / blockAlign;
    if (frames <= 0) return refuse("it has no samples");
    return std::make_unique<WavDecoder>(std::move(source), channels, static_cast<int>(rate), bits, dataOffset,
                                        frames);
}

}  // namespace wave
