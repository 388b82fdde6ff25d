// Bitmap sequences from numbered files and ".bms" files, the frame-merging
// optimiser and saving. The file's bytes are read and written by bms_format.cpp.
#include "image/bitmap_sequence.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/engine_api.h"
#include "image/image_loader.h"

namespace vz::image {

namespace {

// Numbers probed for numbered frames, and the gaps that end the search: a
// run of missing numbers longer than 5 once a frame was found, or longer
// than 100 once the found frames have shown two different spacings (a
// sequence numbered in irregular steps may also skip far).
constexpr int32_t LAST_FRAME_NUMBER = 999;
constexpr int32_t SHORT_GAP = 5;
constexpr int32_t LONG_GAP = 100;

// The pattern with its first '*' replaced by the four-digit number. The
// pattern is copied literally: a '%' in a file name is just a character.
std::string numberedName(const std::string& pattern, size_t star, int32_t number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.4d", number);
    return pattern.substr(0, star) + digits + pattern.substr(star + 1);
}

bool fileExists(const std::string& name) {
    VozerFile* file = api()->OpenFile(name.c_str(), "rb");
    if (!file) return false;
    api()->CloseFile(file);
    return true;
}

char* copyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

struct FoundFrame {
    int32_t number;
    std::string file;
};

std::vector<FoundFrame> probeNumberedFiles(const std::string& pattern, size_t star) {
    std::vector<FoundFrame> found;
    int32_t missing = 0, firstSpacing = 0;
    bool twoSpacings = false;
    for (int32_t n = 0; n <= LAST_FRAME_NUMBER; ++n) {
        std::string file = numberedName(pattern, star, n);
        if (fileExists(file)) {
            if (!found.empty()) {
                const int32_t spacing = n - found.back().number;
                if (firstSpacing == 0) firstSpacing = spacing;
                else if (spacing != firstSpacing) twoSpacings = true;
            }
            found.push_back({n, std::move(file)});
            missing = 0;
        } else if (!found.empty() && ++missing > (twoSpacings ? LONG_GAP : SHORT_GAP)) {
            break;
        }
    }
    return found;
}

}  // namespace

bool LoadBitmapSequenceFromFiles(VozerBitmap* sequence, const char* pattern) {
    if (!sequence || !pattern) return false;
    freeSequence(sequence);
    const std::string text = pattern;
    const size_t star = text.find('*');
    const std::vector<FoundFrame> found =
        star == std::string::npos ? std::vector<FoundFrame>{} : probeNumberedFiles(text, star);
    if (found.empty()) {
        api()->Popup(1, "Bitmap files '%s' not found.", pattern);
        return false;
    }
    auto* frames = static_cast<VozerBitmap*>(std::calloc(found.size(), sizeof(VozerBitmap)));
    if (!frames) return false;
    // A file that is found but does not decode was reported by the loader;
    // it is left out and the others still make the animation.
    int32_t count = 0;
    for (const FoundFrame& f : found) {
        VozerBitmap& frame = frames[count];
        frame.name = copyText(f.file);
        frame.lock = sequence->lock;
        frame.packMode = sequence->packMode;
        frame.cacheMode = sequence->cacheMode;
        if (!loadImage(&frame, f.file.c_str()) || !frame.pixels) {
            std::free(frame.name);
            std::memset(&frame, 0, sizeof frame);
            continue;
        }
        frame.frameNumber = f.number;
        frame.framesPerSecond = 30.0f;
        ++count;
    }
    if (count == 0) {
        std::free(frames);
        api()->Popup(1, "Bitmap files '%s' not found.", pattern);
        return false;
    }
    sequence->frames = frames;
    sequence->frameCount = count;
    api()->SetBitmapFrame(sequence, 0);
    return true;
}

bool BitmapPixelsMatch(const VozerBitmap* a, const VozerBitmap* b, float tolerance) {
    if (!a || !b || !a->pixels || !b->pixels) {
        api()->Log(1, "BitmapPixelsMatch got bad parameters.\n");
        return false;
    }
    const int32_t width = pixelWidth(a), height = pixelHeight(a);
    if (width != pixelWidth(b) || height != pixelHeight(b)) return false;
    if (tolerance >= 1.0f) return true;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    const auto* pa = reinterpret_cast<const uint8_t*>(a->pixels);
    const auto* pb = reinterpret_cast<const uint8_t*>(b->pixels);
    double total = 0.0;
    for (size_t i = 0; i < bytes; ++i) {
        const double d = std::abs(static_cast<int>(pa[i]) - static_cast<int>(pb[i])) / 255.5;
        if (d > tolerance) return false;
        total += d;
    }
    if (total > 0.0) api()->Log(0, "Total difference is %d units\n", static_cast<int>(total));
    return true;
}

void OptimizeBitmapSequence(VozerBitmap* sequence) {
    if (!sequence || !sequence->frames || sequence->frameCount < 1) return;
    api()->Print("Optimizing sequence '%s'...\n", sequence->name ? sequence->name : "");
    VozerBitmap* frames = sequence->frames;
    const int32_t count = sequence->frameCount;
    double saved = 0.0;
    for (int32_t j = count - 1; j > 0; --j) {
        if (frames[j].sameAs || !frames[j].pixels) continue;
        for (int32_t i = 0; i < j; ++i) {
            if (!frames[i].pixels || !BitmapPixelsMatch(&frames[j], &frames[i], SEQUENCE_MATCH_TOLERANCE)) continue;
            api()->Print("Frames #%.4d and #%.4d match.\n", j, i);
            frames[j].sameAs = &frames[i];
            saved += static_cast<double>(pixelWidth(&frames[j])) * pixelHeight(&frames[j]) * 4.0;
            break;
        }
    }
    // A later frame may have matched a frame that itself repeats an earlier
    // one; each frame now names the frame that keeps the image, and only
    // that one keeps pixel memory (a frame with sameAs owns none).
    for (int32_t j = 1; j < count; ++j) {
        VozerBitmap* same = frames[j].sameAs;
        if (!same) continue;
        while (same->sameAs) same = same->sameAs;
        frames[j].sameAs = same;
        if (frames[j].pixels != same->pixels) std::free(frames[j].pixels);
        frames[j].pixels = same->pixels;
    }
    if (sequence->pixels && sequence->frameNumber >= 0 && sequence->frameNumber < count)
        sequence->pixels = frames[sequence->frameNumber].pixels;
    if (saved > 0.0)
        api()->Print("Saved %.2fMB by removing similar frames from sequence %s.\n", saved / 1048576.0,
                     sequence->name ? sequence->name : "");
}

bool ZTI_SaveBitmapSequence(VozerBitmap* sequence, const char* path) {
    const char* where = path ? path : "(null)";
    if (!sequence || sequence->frameCount < 1 || !sequence->frames || !path) {
        api()->Popup(1, "ZTI_SaveBitmapSequence: trying to save invalid bitmap to '%s'.", where);
        return false;
    }
    // The whole file is made in memory first, so a sequence that cannot be
    // written leaves no half file behind.
    ByteSink bytes;
    if (!writeBitmapSequence(sequence, path, bytes)) {
        discardBytes(bytes);
        return false;
    }
    VozerFile* file = api()->OpenFile(path, "wb");
    bool written = false;
    if (file) {
        size_t at = 0;
        while (at < bytes.size) {
            const size_t chunk = bytes.size - at < (size_t{1} << 30) ? bytes.size - at : (size_t{1} << 30);
            const int32_t n = api()->WriteFile(bytes.data + at, static_cast<int32_t>(chunk), file);
            if (n <= 0) break;
            at += static_cast<size_t>(n);
        }
        written = at == bytes.size;
        api()->CloseFile(file);
    }
    discardBytes(bytes);
    if (!written) {
        api()->Popup(1, "Unable to save bitmap sequence '%s' to file '%s'\n",
                     sequence->name ? sequence->name : "", path);
        return false;
    }
    return true;
}

bool LoadBitmapSequence(VozerBitmap* sequence, const char* path) {
    if (!sequence || !path) return false;
    uint8_t* data = nullptr;
    size_t size = 0;
    if (readWholeFile(path, &data, &size) != ReadResult::Read) {
        freeSequence(sequence);
        return false;
    }
    const bool loaded = readBitmapSequence(sequence, data, size, path);
    std::free(data);
    if (loaded) api()->SetBitmapFrame(sequence, 0);
    return loaded;
}

}  // namespace vz::image
