// The shader manager: named shader records made on first request and kept
// until exit, handed to the renderer, which interprets their kind and
// parameters. The shader sub-table of the engine API (word 129).
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "api/draw_state.h"
#include "api/engine_api.h"
#include "api/threads.h"
#include "font/shader_pool.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

constexpr int32_t SHADER_POOL_SIZE = 32;
constexpr uint16_t LOAD_READY = 3;

struct ShaderPool {
    VozerShaderRecord slots[SHADER_POOL_SIZE];
    int32_t count;
};

ShaderPool& shaderPool() {
    static ShaderPool p{};
    return p;
}

VozerShaderRecord* record(VozerShader* shader) { return reinterpret_cast<VozerShaderRecord*>(shader); }

bool isPoolRecord(const VozerShaderRecord* shader) {
    const ShaderPool& p = shaderPool();
    return shader >= p.slots && shader < p.slots + SHADER_POOL_SIZE && shader->name;
}

}  // namespace

void resetShaderPool() {
    ShaderPool& p = shaderPool();
    for (VozerShaderRecord& s : p.slots) std::free(s.name);
    p = ShaderPool{};
    rt().shared.currentShader = nullptr;
}

int32_t shadersInUse() { return shaderPool().count; }

namespace shader_slots {

VozerShader* GetShader(const char* name) {
    if (!name) name = "!NONE";
    ShaderPool& p = shaderPool();
    VozerShaderRecord* made = nullptr;
    {
        EngineLock lock(MUTEX_GET_SHADER);
        int32_t index = 0;
        for (; index < p.count && p.slots[index].name; ++index)
            if (std::strcmp(p.slots[index].name, name) == 0) return reinterpret_cast<VozerShader*>(&p.slots[index]);
        api()->Print("..caching shader '%s'\n", name);
        if (index >= SHADER_POOL_SIZE) {
            lock.unlock();  // on the main thread the popup waits for the player
            api()->Popup(1, " ! Vozer out of free shaders.\n");
            return nullptr;
        }
        if (index == p.count) ++p.count;
        made = &p.slots[index];
        *made = VozerShaderRecord{};
        made->name = static_cast<char*>(std::malloc(std::strlen(name) + 1));
        if (made->name) std::strcpy(made->name, name);
        made->loaded = 1;
        made->kind = std::strcmp(name, "!DOT3_DIRECTIONAL") == 0 ? 1 : 0;
    }
    if (VozerRendImp* renderer = rt().renderer) renderer->ops->CacheShader(renderer, made);
    api()->Print("\n");
    return reinterpret_cast<VozerShader*>(made);
}

void SetShader(VozerShader* shader) {
    VozerShaderRecord* s = record(shader);
    if (s && !isPoolRecord(s)) {
        api()->Log(1, "SetShader: not a shader made by GetShader.");
        return;
    }
    rt().shared.currentShader = s;
    if (VozerRendImp* renderer = rt().renderer) renderer->ops->SetShader(renderer, s);
}

void SetShaderTexture(int32_t stage, VozerBitmap* bitmap) {
    if (VozerRendImp* renderer = rt().renderer) renderer->ops->SetTexture(renderer, stage, bitmap);
}

void SetShaderParam(VozerShader* shader, int32_t index, const void* value) {
    VozerShaderRecord* s = record(shader);
    // The renderer writes parameter `index` of the record: only real
    // records and indices inside it may reach it.
    if (!s || !value || !isPoolRecord(s) || index < 0 || index >= VZ_SHADER_PARAMETER_COUNT) {
        api()->Log(1, "SetShaderParam: shader %p parameter %d refused.", static_cast<void*>(shader), index);
        return;
    }
    if (VozerRendImp* renderer = rt().renderer) renderer->ops->SetShaderParameter(renderer, s, index, value);
}

void DrawBitmapShaded(VozerBitmap* bitmap, float x, float y, float angle, float scale) {
    VozerRendImp* renderer = rt().renderer;
    if (!bitmap || !renderer || bitmap->loadState != LOAD_READY || !bitmap->hw.hasTexture) return;
    // The same quad as DrawBitmapEx: centred on (x, y), rotated and scaled.
    const float hw = static_cast<float>(bitmap->width) * scale * 0.5f;
    const float hh = static_cast<float>(bitmap->height) * scale * 0.5f;
    const float cx = x - ((bitmap->width & 1) ? scale * 0.5f : 0.0f);
    const float cy = y - ((bitmap->height & 1) ? scale * 0.5f : 0.0f);
    const float s = std::sin(angle), c = std::cos(angle);
    const float dx[4] = {-hw, hw, -hw, hw}, dy[4] = {-hh, -hh, hh, hh};
    const float u[4] = {bitmap->hw.uLeft, bitmap->hw.uRight, bitmap->hw.uLeft, bitmap->hw.uRight};
    const float v[4] = {bitmap->hw.vTop, bitmap->hw.vTop, bitmap->hw.vBottom, bitmap->hw.vBottom};
    // Colour, alpha and depth as they stand for every primitive.
    const DrawState& d = rt().drawing;
    VozerVertex quad[4];
    for (int i = 0; i < 4; ++i)
        quad[i] = VozerVertex{cx + c * dx[i] - s * dy[i], cy + s * dx[i] + c * dy[i], d.depth, d.colorWord, u[i], v[i]};
    runVertexCallbacks(quad, 4);
    renderer->ops->DrawShadedQuad(renderer, quad);
}

}  // namespace shader_slots
}  // namespace vz
