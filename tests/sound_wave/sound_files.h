// Sound files made by the tests themselves: WAV bytes with any header values
// (including lying ones), and Ogg Vorbis encoded with libvorbisenc.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wavetest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void chunk(Bytes& b, const char* id, const Bytes& body, uint32_t claimedSize = 0xFFFFFFFF) {
    b.insert(b.end(), id, id + 4);
    put32(b, claimedSize == 0xFFFFFFFF ? static_cast<uint32_t>(body.size()) : claimedSize);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
}

struct WavFormat {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    int blockAlign = -1;  // -1: channels * bits / 8
};

inline Bytes fmtBody(const WavFormat& f) {
    Bytes body;
    const uint16_t align = static_cast<uint16_t>(f.blockAlign >= 0 ? f.blockAlign : f.channels * (f.bits / 8));
    put16(body, f.tag);
    put16(body, f.channels);
    put32(body, f.rate);
    put32(body, f.rate * align);
    put16(body, align);
    put16(body, f.bits);
    return body;
}

// A RIFF WAVE file of the given chunks (already formed).
inline Bytes riff(const Bytes& chunks) {
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, static_cast<uint32_t>(chunks.size() + 4));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

inline Bytes samples16(const std::vector<int16_t>& s) {
    Bytes b;
    for (int16_t v : s) put16(b, static_cast<uint16_t>(v));
    return b;
}

inline Bytes wav(const WavFormat& f, const Bytes& data) {
    Bytes chunks;
    chunk(chunks, "fmt ", fmtBody(f));
    chunk(chunks, "data", data);
    return riff(chunks);
}

// `seconds` of a sine at `hz`, amplitude `amplitude` of full scale.
inline std::vector<int16_t> sine(double hz, double seconds, int rate, double amplitude, int channels = 1) {
    const size_t frames = static_cast<size_t>(seconds * rate + 0.5);
    std::vector<int16_t> out;
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * 3.14159265358979323846 * hz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(std::lrint(v)));
    }
    return out;
}

// Ogg Vorbis of interleaved samples, at a fixed quality.
inline Bytes vorbis(const std::vector<int16_t>& samples, int channels, int rate) {
    Bytes out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    auto writePage = [&out](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&stream, &page)) writePage(page);
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    writePage(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

}  // namespace wavetest
