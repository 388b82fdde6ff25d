// Shared by the font tests: fonts built by hand, a renderer that records
// uploads and releases, and a recorder of the drawing slots the text code
// calls.
#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../data/api_capture.h"
#include "api/engine_api.h"
#include "font/font_file.h"
#include "font/font_pool.h"
#include "font/font_record.h"
#include "state/runtime_state.h"

namespace vz::testing {

// The font code calls its neighbours through the engine API table, as the
// Program does: every slot is there from the start.
inline const bool ENGINE_API_FILLED = (fillEngineApi(), true);

// Array files start with their XML declaration.
const std::string XML_PROLOG = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

inline std::string readBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string dejaVuSans() { return readBinary(std::string(VOZER_DEJAVU_DIR) + "/DejaVuSans.ttf"); }

// A font record owned by the test, freed with everything it holds.
struct TestFont {
    VozerFont font{};
    explicit TestFont(const char* name = "test.mft", bool utf8 = false, int32_t glyphs = 256) {
        font::initFontRecord(&font, name);
        font.utf8 = utf8 ? 1 : 0;
        font::resetGlyphTable(&font, glyphs);
        for (int32_t i = 0; i < glyphs; ++i) font.glyphs[i].code = i;
    }
    ~TestFont() { font::clearFontRecord(&font); }
    TestFont(const TestFont&) = delete;
    TestFont& operator=(const TestFont&) = delete;
    font::FontGlyph& operator[](int32_t i) { return font.glyphs[i]; }
};

// Gives a glyph an image of w x h whose pixels come from `pixel(x, y)`.
template <typename Pixel>
void setImage(font::FontGlyph& g, int32_t w, int32_t h, Pixel pixel) {
    std::free(g.bitmap.pixels);
    g.bitmap.pixels = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(w) * h));
    g.bitmap.width = g.bitmap.dataWidth = w;
    g.bitmap.height = g.bitmap.dataHeight = h;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) g.bitmap.pixels[y * w + x] = pixel(x, y);
}

// A renderer that gives each upload a new texture number and records
// releases, so tests can tell shared textures from owned ones.
struct RecordingRenderer {
    VozerRendImpOps ops{};
    VozerRendImp imp{&ops};
    std::vector<VozerBitmap*> uploads;
    std::vector<uintptr_t> released;
    std::vector<VozerShaderRecord*> cached;
    bool anyThread = false;
    uintptr_t nextTexture = 1;

    static RecordingRenderer*& current() {
        static RecordingRenderer* r = nullptr;
        return r;
    }
    // Operations are member calls on i686: plain functions with that convention.
    static vz_bool VZ_THISCALL canUpload(VozerRendImp*) { return current()->anyThread ? 1 : 0; }
    static int32_t VZ_THISCALL byteOrder(VozerRendImp*) { return 1; }
    static vz_bool VZ_THISCALL upload(VozerRendImp*, VozerBitmap* b) {
        RecordingRenderer* r = current();
        r->uploads.push_back(b);
        b->hw.hasTexture = 1;
        b->hw.texture = reinterpret_cast<void*>(r->nextTexture++);
        b->hw.textureWidth = b->width;
        b->hw.textureHeight = b->height;
        return 1;
    }
    static void VZ_THISCALL release(VozerRendImp*, VozerHardwareData* hw) {
        current()->released.push_back(reinterpret_cast<uintptr_t>(hw->texture));
        hw->hasTexture = 0;
        hw->texture = nullptr;
    }
    static vz_bool VZ_THISCALL cacheShader(VozerRendImp*, VozerShaderRecord* s) {
        current()->cached.push_back(s);
        return 1;
    }
    static void VZ_THISCALL setParameter(VozerRendImp*, VozerShaderRecord* s, int32_t index, const void* value) {
        std::memcpy(&s->parameters[index], value, sizeof(float));
    }
    static void VZ_THISCALL setShader(VozerRendImp*, VozerShaderRecord* s) { current()->shader = s; }
    VozerShaderRecord* shader = nullptr;
    RecordingRenderer() {
        current() = this;
        ops.SetShader = &setShader;
        ops.CanUploadFromAnyThread = &canUpload;
        ops.GetPixelByteOrder = &byteOrder;
        ops.UploadBitmap = &upload;
        ops.ReleaseTexture = &release;
        ops.CacheShader = &cacheShader;
        ops.SetShaderParameter = &setParameter;
        rt().renderer = &imp;
    }
    ~RecordingRenderer() {
        rt().renderer = nullptr;
        current() = nullptr;
    }
};

// One glyph or image drawn by the text code.
struct DrawnQuad {
    VozerBitmap* bitmap;
    float x, y;
    bool ex;  // through DrawBitmapEx (centred)
};

// Replaces the drawing slots the text code uses (restored by the capture).
struct DrawRecorder {
    std::vector<DrawnQuad> quads;
    std::vector<std::vector<float>> transforms;  // pushed matrices
    int pops = 0;
    std::vector<uint32_t> colours;

    static DrawRecorder*& current() {
        static DrawRecorder* r = nullptr;
        return r;
    }
    DrawRecorder() {
        current() = this;
        VozerEngineApi* a = api();
        a->DrawBitmap = [](VozerBitmap* b, float x, float y) { current()->quads.push_back({b, x, y, false}); };
        a->DrawBitmapEx = [](VozerBitmap* b, float x, float y, float, float) {
            current()->quads.push_back({b, x, y, true});
        };
        a->PushTransform = [](const float* m) { current()->transforms.emplace_back(m, m + 16); };
        a->PopTransform = [] { ++current()->pops; };
        a->SetColor = [](float r, float g, float b) {
            current()->colours.push_back((static_cast<uint32_t>(r * 255.0f + 0.5f) << 16) |
                                         (static_cast<uint32_t>(g * 255.0f + 0.5f) << 8) |
                                         static_cast<uint32_t>(b * 255.0f + 0.5f));
        };
    }
    ~DrawRecorder() { current() = nullptr; }
    // The glyph index of each drawn quad within `font`.
    std::vector<int32_t> glyphIndices(const VozerFont& font) const {
        std::vector<int32_t> out;
        for (const DrawnQuad& q : quads)
            for (int32_t i = 0; i < font.glyphCount; ++i)
                if (q.bitmap == &font.glyphs[i].bitmap) out.push_back(i);
        return out;
    }
};

}  // namespace vz::testing
