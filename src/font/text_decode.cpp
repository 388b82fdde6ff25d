#include "font/text_decode.h"

namespace vz::font {

std::vector<int32_t> DecodeUtf8(const char* text) {
    std::vector<int32_t> out;
    if (text)
        while (*text) out.push_back(decodeNextUtf8(text));
    out.push_back(0);
    return out;
}

bool decodeUtf8Strict(const char* text, std::vector<int32_t>& out) {
    out.clear();
    if (!text) return true;
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    while (*p) {
        const uint8_t b = *p++;
        int32_t length, value;
        if (b < 0x80) {
            out.push_back(b);
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
            value = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            value = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            value = b & 0x07;
        } else {
            return false;
        }
        for (int32_t i = 1; i < length; ++i) {
            if ((*p & 0xC0) != 0x80) return false;  // also stops at the terminator
            value = value * 64 + (*p++ & 0x3F);
        }
        static const int32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        out.push_back(value);
    }
    return true;
}

}  // namespace vz::font
