// The compiled font file (".mft"): versions 1 to 6 are read, version 6 is
// written. The decoder works over bytes in memory; LoadFontFile and
// SaveFontFile move those bytes through the engine's file API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "font/font_record.h"

namespace vz::font {

// The glyph table of `font` becomes `count` zeroed glyphs (the array is kept
// when it already has that many entries); pixels and kerning rows go.
bool resetGlyphTable(VozerFont* font, int32_t count);
// Free every glyph's pixels and kerning row, then the glyph array itself.
void freeGlyphTable(VozerFont* font);

// Red and blue change places; green and alpha stay.
inline uint32_t swapRedBlue(uint32_t p) { return (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16); }
// Bring the glyph pixels into byte order `order` (1 B,G,R,A; 0 R,G,B,A).
void convertGlyphPixels(VozerFont* font, int32_t order);

// Decode a whole .mft file into `font`, naming font->name in messages. On any
// failure the font is left with an empty table of DEFAULT_GLYPH_COUNT glyphs
// and a popup says why: an unknown header, or a file that ends early or whose
// counts cannot be true for its size. Nothing is read past `size`.
bool decodeFontFile(VozerFont* font, const uint8_t* data, size_t size);
// Encode `font` as a version 6 file (pixels written R, G, B, A whatever the
// renderer's byte order is).
std::vector<uint8_t> encodeFontFile(const VozerFont* font);

// Font files, outline fonts and source images are read whole; anything
// larger than this is refused.
constexpr int64_t MAX_FILE_BYTES = 256ll << 20;
enum class ReadResult { Ok, NotFound, TooLarge };
// An allocator that leaves new elements of a plain type as they are: a
// file's bytes are read straight into their buffer, and zeroing the
// megabyte of an outline font first would only cost time.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using FileBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;
// Read a whole file through the engine's file API (search paths, paks).
ReadResult readWholeFile(const char* name, FileBytes& bytes);

// LoadFontFile: read the file named font->name. A missing file prints
// "(not found)" and gives false, so that the manager can generate the font.
bool LoadFontFile(VozerFont* font);
// SaveFontFile: write `font` as a version 6 file to `path`.
bool SaveFontFile(VozerFont* font, const char* path);

}  // namespace vz::font
