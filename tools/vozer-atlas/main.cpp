// vozer-atlas: make a bitmap sequence (".bms") from PNG frames, with the
// runtime's own sequence code, and show what a sequence file holds.
//
//   vozer-atlas [--frames] [--keep-repeats] [--fps N] <folder | pattern*.png> <out.bms>
//   vozer-atlas --info <file.bms>
//
// A folder gives every .png file in it, in name order; the digits that end a
// file's name are its frame number (else its place in the order). A pattern
// gives the files numbered in place of its '*' (walk*.png: walk0000.png,
// walk0001.png, walk0003.png...), as the runtime finds them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "image/bitmap_sequence.h"
#include "image/image_loader.h"
#include "state/runtime_state.h"
#include "tool_api.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vozer-atlas [--frames] [--keep-repeats] [--fps N] [--verbose] <folder | pattern*.png> <out.bms>\n"
                 "       vozer-atlas --info <file.bms>\n"
                 "Packs PNG frames into a bitmap sequence: every .png of a folder in name order, or the files\n"
                 "numbered in place of the pattern's '*' (walk*.png: walk0000.png, walk0001.png, ...).\n"
                 "Repeated frames are stored once unless --keep-repeats; --frames stores each frame on its\n"
                 "own instead of one atlas image; --fps sets the frames' rate (30 by default). --info lists\n"
                 "a sequence's frames and its atlas occupancy.\n");
    return 2;
}

// The number that ends a file's name (walk_12.png: 12), or -1.
int32_t trailingNumber(const std::string& stem) {
    size_t start = stem.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(stem[start - 1]))) --start;
    if (start == stem.size() || stem.size() - start > 9) return -1;
    return std::atoi(stem.c_str() + start);
}

bool loadFolder(VozerBitmap* sequence, const std::string& folder) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string ending = entry.path().extension().string();
        std::transform(ending.begin(), ending.end(), ending.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file(error) && ending == ".png") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    if (error || files.empty()) {
        std::fprintf(stderr, "vozer-atlas: no .png files in '%s'\n", folder.c_str());
        return false;
    }
    sequence->frames = static_cast<VozerBitmap*>(std::calloc(files.size(), sizeof(VozerBitmap)));
    if (!sequence->frames) return false;
    for (const auto& file : files) {
        VozerBitmap& frame = sequence->frames[sequence->frameCount];
        const std::string name = file.string();
        frame.name = strdup(name.c_str());
        if (!vz::image::loadImage(&frame, name.c_str()) || !frame.pixels) {
            std::fprintf(stderr, "vozer-atlas: cannot decode '%s'\n", name.c_str());
            return false;
        }
        const int32_t number = trailingNumber(file.stem().string());
        frame.frameNumber = number >= 0 ? number : sequence->frameCount;
        frame.framesPerSecond = 30.0f;
        ++sequence->frameCount;
    }
    return true;
}

int printInfo(const char* path) {
    VozerBitmap sequence{};
    sequence.name = const_cast<char*>(path);
    if (!vz::image::LoadBitmapSequence(&sequence, path)) {
        std::fprintf(stderr, "vozer-atlas: '%s' is not a readable bitmap sequence\n", path);
        return 1;
    }
    const VozerBitmap* atlas = sequence.atlas;
    std::printf("%s: %d frames, %s\n", path, sequence.frameCount, atlas ? "one atlas image" : "frame by frame");
    double used = 0.0;
    for (int32_t i = 0; i < sequence.frameCount; ++i) {
        const VozerBitmap& f = sequence.frames[i];
        std::printf("  #%-4d number %4d  %4dx%-4d %5.1f fps", i, f.frameNumber, f.width, f.height,
                    static_cast<double>(f.framesPerSecond));
        if (atlas) {
            const int32_t x = static_cast<int32_t>(std::lround(f.hw.uLeft * static_cast<float>(atlas->width)));
            const int32_t y = static_cast<int32_t>(std::lround(f.hw.vTop * static_cast<float>(atlas->height)));
            int32_t same = -1;
            for (int32_t k = 0; k < i && same < 0; ++k)
                if (std::memcmp(&sequence.frames[k].hw.uLeft, &f.hw.uLeft, 4 * sizeof(float)) == 0) same = k;
            if (same >= 0) {
                std::printf("  at %d,%d (the image of #%d)", x, y, same);
            } else {
                std::printf("  at %d,%d", x, y);
                used += static_cast<double>(f.width) * f.height;
            }
        }
        std::printf("\n");
    }
    if (atlas) {
        std::printf("atlas %dx%d, %.1f%% used by frames\n", atlas->width, atlas->height,
                    used * 100.0 / (static_cast<double>(atlas->width) * atlas->height));
    }
    vz::image::freeSequence(&sequence);
    return vz::tool::failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    vz::tool::installToolApi("vozer-atlas");
    bool frames = false, keepRepeats = false;
    float fps = 30.0f;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--info" && i + 1 < argc && argc == 3) return printInfo(argv[i + 1]);
        if (arg == "--frames") frames = true;
        else if (arg == "--keep-repeats") keepRepeats = true;
        else if (arg == "--verbose") vz::tool::setVerbose(true);
        else if (arg == "--fps" && i + 1 < argc) {
            fps = std::strtof(argv[++i], nullptr);
            if (!(fps > 0.0f && fps <= 1000.0f)) return usage();
        }
        else if (arg.size() > 1 && arg[0] == '-') return usage();
        else args.push_back(arg);
    }
    if (args.size() != 2) return usage();
    const std::string& source = args[0];
    const std::string& output = args[1];

    VozerBitmap sequence{};
    std::string name = std::filesystem::path(output).stem().string();
    sequence.name = name.data();
    bool loaded;
    if (source.find('*') != std::string::npos) {
        loaded = vz::image::LoadBitmapSequenceFromFiles(&sequence, source.c_str());
    } else {
        loaded = loadFolder(&sequence, source);
    }
    if (!loaded || vz::tool::failed()) {
        vz::image::freeSequence(&sequence);
        return 1;
    }
    for (int32_t i = 0; i < sequence.frameCount; ++i) sequence.frames[i].framesPerSecond = fps;
    if (!keepRepeats) vz::image::OptimizeBitmapSequence(&sequence);
    vz::rt().shared.atlasPacking = frames ? 0 : 1;
    const bool saved = vz::image::ZTI_SaveBitmapSequence(&sequence, output.c_str());
    vz::image::freeSequence(&sequence);
    if (!saved || vz::tool::failed()) return 1;
    return printInfo(output.c_str());
}
