// The end-to-end cases' reference for drawn text: lays out a line the way
// FreeType renders it (pixel size, default kerning, rendered glyph bitmaps)
// and prints one line per character, so a case can compare a captured frame
// with it without going through the engine's font code.
//
//   vozer_test_glyphs FONT.ttf SIZE_PX TEXT [nokern]
//
// Output lines: "glyph CODE PEN_X LEFT TOP WIDTH HEIGHT INK" (pen position in
// pixels from the line's start, bitmap offset and size, INK the sum of the
// coverage over 255), then "advance X". ASCII text only.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vozer_test_glyphs FONT.ttf SIZE_PX TEXT [nokern]\n");
        return 2;
    }
    const bool kerning = !(argc > 4 && std::strcmp(argv[4], "nokern") == 0);
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::atoi(argv[2])));
    long pen = 0;  // 26.6 fixed point
    FT_UInt previous = 0;
    for (const char* c = argv[3]; *c; ++c) {
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(*c));
        if (kerning && previous && index) {
            FT_Vector delta;
            if (!FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta)) pen += delta.x;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER)) return 1;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        double ink = 0.0;
        for (unsigned y = 0; y < bitmap.rows; ++y)
            for (unsigned x = 0; x < bitmap.width; ++x) ink += bitmap.buffer[y * bitmap.pitch + x] / 255.0;
        std::printf("glyph %d %.2f %d %d %u %u %.2f\n", static_cast<unsigned char>(*c), pen / 64.0,
                    face->glyph->bitmap_left, face->glyph->bitmap_top, bitmap.width, bitmap.rows, ink);
        pen += face->glyph->advance.x;
        previous = index;
    }
    std::printf("advance %.2f\n", pen / 64.0);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
