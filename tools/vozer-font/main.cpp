// vozer-font: compile a font source (a Vudozar array file, see the game
// maker's guide) into the engine's .mft font file, with the same code the
// runtime uses when it generates a missing font.
//
//   vozer-font [--scale S] [--search DIR]... <source.xml> <output.mft>
//   vozer-font --info <font.mft>
//
// Files the source names (the outline font, a language strings file, glyph
// bitmaps) are looked up as given, then in the source's folder, then in each
// --search folder in order.
#include <cstdarg>
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

namespace {

std::vector<std::string> searchFolders;
bool failed = false;

// The font code reports through the engine API; here that is the console.
int32_t report(int32_t level, const char* format, va_list args) {
    char text[4096];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    size_t length = std::strlen(text);
    while (length && text[length - 1] == '\n') text[--length] = '\0';
    if (!length) return 0;
    std::fprintf(stderr, "vozer-font: %s%s\n", level >= VZ_WARNING ? "warning: " : "", text);
    return static_cast<int32_t>(length);
}
int32_t VZ_CDECL toolPrint(const char*, ...) { return 0; }
int32_t VZ_CDECL toolLog(int32_t level, const char* format, ...) {
    if (level < VZ_WARNING) return 0;
    va_list args;
    va_start(args, format);
    const int32_t n = report(level, format, args);
    va_end(args);
    return n;
}
int32_t VZ_CDECL toolPopup(int32_t level, const char* format, ...) {
    failed = true;
    va_list args;
    va_start(args, format);
    const int32_t n = report(level < VZ_WARNING ? VZ_WARNING : level, format, args);
    va_end(args);
    return n;
}

// Files of the operating system, found as given or along the folders.
bool isAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

VozerFile* VZ_CDECL toolOpenFile(const char* name, const char* mode) {
    if (!name || !mode) return nullptr;
    const bool writing = mode[0] == 'w' || mode[0] == 'a';
    const char* binaryMode = mode[0] == 'w' ? "wb" : mode[0] == 'a' ? "ab" : "rb";
    std::FILE* file = std::fopen(name, binaryMode);
    if (!file && !writing && !isAbsolute(name))
        for (const std::string& folder : searchFolders)
            if ((file = std::fopen((folder + "/" + name).c_str(), binaryMode)) != nullptr) break;
    return reinterpret_cast<VozerFile*>(file);
}
void VZ_CDECL toolCloseFile(VozerFile* file) {
    if (file) std::fclose(reinterpret_cast<std::FILE*>(file));
}
int32_t VZ_CDECL toolReadFile(void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(bytes), reinterpret_cast<std::FILE*>(file)));
}
int32_t VZ_CDECL toolWriteFile(const void* buffer, int32_t bytes, VozerFile* file) {
    if (!file || !buffer || bytes <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(bytes), reinterpret_cast<std::FILE*>(file)));
}
vz_bool VZ_CDECL toolSeekFile(VozerFile* file, int32_t offset, int32_t origin) {
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    return file && std::fseek(reinterpret_cast<std::FILE*>(file), offset, whence) == 0 ? 1 : 0;
}
int32_t VZ_CDECL toolTellFile(VozerFile* file) {
    return file ? static_cast<int32_t>(std::ftell(reinterpret_cast<std::FILE*>(file))) : 0;
}
int32_t VZ_CDECL toolReadFileByte(VozerFile* file) {
    const int c = file ? std::fgetc(reinterpret_cast<std::FILE*>(file)) : EOF;
    return c == EOF ? 0 : c;
}

void installToolApi() {
    vz::fillEngineApi();
    VozerEngineApi* a = vz::api();
    a->Print = &toolPrint;
    a->Log = &toolLog;
    a->Popup = &toolPopup;
    a->OpenFile = &toolOpenFile;
    a->CloseFile = &toolCloseFile;
    a->ReadFile = &toolReadFile;
    a->WriteFile = &toolWriteFile;
    a->SeekFile = a->SeekFile40 = &toolSeekFile;
    a->TellFile = a->TellFile41 = &toolTellFile;
    a->ReadFileByte = &toolReadFileByte;
    // Pixels are kept R, G, B, A; the file stores that order too.
    vz::rt().pixelByteOrder = 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: vozer-font [--scale S] [--search DIR]... <source.xml> <output.mft>\n"
                 "       vozer-font --info <font.mft>\n"
                 "Compiles a font source into a .mft font file. Files the source names are looked up\n"
                 "as given, in the source's folder, then in each --search folder.\n");
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
    installToolApi();
    double scale = 1.0;
    bool info = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (!end || *end || !(scale > 0.0)) return usage();
        } else if (arg == "--search" && i + 1 < argc) {
            searchFolders.push_back(argv[++i]);
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
    searchFolders.insert(searchFolders.begin(), slash == std::string::npos ? "." : source.substr(0, slash));

    // The runtime generates the font named N from N + ".xml"; so does the tool.
    VozerFont font{};
    vz::font::initFontRecord(&font, source.substr(0, source.size() - suffix.size()).c_str());
    bool ok = vz::font::ZTI_GenerateFontFromSource(&font, scale);
    if (ok) {
        failed = false;
        ok = vz::font::SaveFontFile(&font, output.c_str()) && !failed;
        if (ok) printInfo(font);
    }
    vz::font::clearFontRecord(&font);
    if (!ok) {
        std::remove(output.c_str());  // no half-written font for a build to pick up
        std::fprintf(stderr, "vozer-font: '%s' was not compiled\n", source.c_str());
    }
    return ok ? 0 : 1;
}
