#include "api/engine_api.h"

#include <cstdlib>
#include <cstring>

#include "fs/response_blocks.h"

namespace vz {

namespace {

struct EngineApiState {
    VozerEngineApi table;
    VozerShaderApi shaders;
};

EngineApiState& state() {
    static EngineApiState s{};
    return s;
}

}  // namespace

VozerEngineApi* api() { return &state().table; }

void clearEngineApi() { std::memset(&state().table, 0, sizeof(VozerEngineApi)); }

void fillEngineApi() {
    EngineApiState& s = state();
#define VZ_FILL_SLOT(index, result, name, params, impl) s.table.name = &slots::impl;
    VOZER_API_SLOTS(VZ_FILL_SLOT)
#undef VZ_FILL_SLOT
    s.shaders.GetShader = &shader_slots::GetShader;
    s.shaders.SetShader = &shader_slots::SetShader;
    s.shaders.SetShaderTexture = &shader_slots::SetShaderTexture;
    s.shaders.SetShaderParam = &shader_slots::SetShaderParam;
    s.shaders.DrawBitmapShaded = &shader_slots::DrawBitmapShaded;
    s.table.shaders = &s.shaders;
}

namespace slots {

// Slots 115 and 117 are kept so that later slots keep their numbers.
void Reserved() {}

VozerBuffer* CreateBuffer(VozerBuffer* buffer, int32_t size) {
    if (!buffer) return nullptr;
    *buffer = VozerBuffer{};
    if (size <= 0) return buffer;
    auto* data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    if (!data) return buffer;
    *buffer = VozerBuffer{data, 0, size, size};
    return buffer;
}

void FreeBuffer(VozerBuffer* buffer) {
    if (!buffer) return;
    fs::freeOutgrownBlocks(buffer->data);
    std::free(buffer->data);
    *buffer = VozerBuffer{};
}

}  // namespace slots
}  // namespace vz
