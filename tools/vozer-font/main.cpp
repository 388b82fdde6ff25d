// vozer-font: compile a font source (a Vudozar array file, see the game
// maker's guide) into the engine's .mft font file, with the same code the
// runtime uses when it generates a missing font.
//
//   vozer-font [--scale S] [--kern] [--search DIR]... <source.xml> <output.mft>
//   vozer-font --info <font.mft>
//
// Files the source names (the outline font, a language strings file, glyph
// bitmaps) are looked up as given, then in the source's folder, then in each
// --search folder in order. --kern kerns a UTF-8 font (one made from an
// outline font) as single-byte fonts always are; without it, as when the
// runtime generates a font, UTF-8 fonts have no kerning rows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "font/font_file.h"
#include "font/font_generate.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "state/runtime_state.h"
#include "tool_api.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vozer-font [--scale S] [--kern] [--search DIR]... <source.xml> <output.mft>\n"
                 "       vozer-font --info <font.mft>\n"
                 "Compiles a font source into a .mft font file. Files the source names are looked up\n"
                 "as given, in the source's folder, then in each --search folder. --kern kerns UTF-8\n"
                 "fonts too (single-byte fonts always are); the runtime reads the rows either way.\n");
    return 2;
}

void printInfo(const VozerFont& font) {
    int32_t images = 0, kerned = 0;
    for (int32_t i = 0; i < font.glyphCount; ++i) {
        images += font.glyphs[i].bitmap.pixels ? 1 : 0;
        kerned += font.glyphs[i].kerning ? 1 : 0;
    }
    std::printf("%s: %s, %d glyphs (%d with images, %d kerning rows), height %d, line height %d, baseline %d\n",
                font.name, font.utf8 ? "UTF-8" : "LATIN-1", font.glyphCount, images, kerned, font.height,
                font.lineHeight, font.baseline);
}

}  // namespace

int main(int argc, char** argv) {
    vz::tool::installToolApi("vozer-font");
    double scale = 1.0;
    bool info = false;
    vz::font::GenerateOptions options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (!end || *end || !(scale > 0.0)) return usage();
        } else if (arg == "--search" && i + 1 < argc) {
            vz::tool::searchFolders().push_back(argv[++i]);
        } else if (arg == "--kern") {
            options.kernUtf8 = true;
        } else if (arg == "--info") {
            info = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else {
            files.push_back(arg);
        }
    }
    if (info) {
        if (files.size() != 1) return usage();
        VozerFont font{};
        vz::font::initFontRecord(&font, files[0].c_str());
        const bool ok = vz::font::LoadFontFile(&font);
        if (ok) printInfo(font);
        else std::fprintf(stderr, "vozer-font: cannot read '%s'\n", files[0].c_str());
        vz::font::clearFontRecord(&font);
        return ok ? 0 : 1;
    }
    if (files.size() != 2) return usage();
    const std::string& source = files[0];
    const std::string& output = files[1];
    const std::string suffix = ".xml";
    if (source.size() <= suffix.size() || source.compare(source.size() - suffix.size(), suffix.size(), suffix) != 0) {
        std::fprintf(stderr, "vozer-font: the source must be an .xml file: '%s'\n", source.c_str());
        return 2;
    }
    const size_t slash = source.find_last_of("/\\");
    std::vector<std::string>& folders = vz::tool::searchFolders();
    folders.insert(folders.begin(), slash == std::string::npos ? "." : source.substr(0, slash));

    // The runtime generates the font named N from N + ".xml"; so does the tool.
    VozerFont font{};
    vz::font::initFontRecord(&font, source.substr(0, source.size() - suffix.size()).c_str());
    bool ok = vz::font::generateFontFromSource(&font, scale, options);
    if (ok) {
        vz::tool::clearFailed();
        ok = vz::font::SaveFontFile(&font, output.c_str()) && !vz::tool::failed();
        if (ok) printInfo(font);
    }
    vz::font::clearFontRecord(&font);
    if (!ok) {
        std::remove(output.c_str());  // no half-written font for a build to pick up
        std::fprintf(stderr, "vozer-font: '%s' was not compiled\n", source.c_str());
    }
    return ok ? 0 : 1;
}
