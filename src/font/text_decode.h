// Decoding text into code points, as the text entries and font generation
// read it.
#pragma once

#include <cstdint>
#include <vector>

namespace vz::font {

// The next character of zero-terminated UTF-8 text at `p`, advancing `p`.
// The sequence length comes from the first byte alone (11110xxx: 4,
// 1110xxxx: 3, 110xxxxx: 2, else 1) and following bytes are not checked, so
// a stray continuation byte is a character of its own (128..191). Never
// reads past the terminating zero, also inside a sequence: a sequence cut
// short by it ends there and `p` is left on the zero. Returns 0 at the end.
inline int32_t decodeNextUtf8(const char*& p) {
    const auto first = static_cast<uint8_t>(*p);
    if (!first) return 0;
    ++p;
    int32_t length = 1;
    int32_t value = first;
    if ((first & 0xF8) == 0xF0) {
        length = 4;
        value = first ^ 0xF0;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        value = first ^ 0xE0;
    } else if ((first & 0xE0) == 0xC0) {
        length = 2;
        value = first ^ 0xC0;
    }
    for (int32_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(*p);
        if (!next) break;
        ++p;
        value = value * 64 + (next ^ 0x80);
    }
    return value;
}

// DecodeUtf8: every code point of `text` (as above), ending in 0.
std::vector<int32_t> DecodeUtf8(const char* text);

// Strict decoding for content: false for overlong forms, surrogates, values
// above U+10FFFF, missing or stray continuation bytes.
bool decodeUtf8Strict(const char* text, std::vector<int32_t>& out);

}  // namespace vz::font
