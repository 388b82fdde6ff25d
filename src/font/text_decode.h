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
int32_t decodeNextUtf8(const char*& p);

// DecodeUtf8: every code point of `text` (as above), ending in 0.
std::vector<int32_t> DecodeUtf8(const char* text);

// Strict decoding for content: false for overlong forms, surrogates, values
// above U+10FFFF, missing or stray continuation bytes.
bool decodeUtf8Strict(const char* text, std::vector<int32_t>& out);

}  // namespace vz::font
