// The process-wide engine API table and the functions behind its slots.
//
// Every slot is implemented by a function of the same name in namespace
// vz::slots, defined in the module that owns the service (log slots in diag/,
// file slots in fs/, ...). The declarations below come from the slot list, so
// a function whose signature drifts from the table does not compile.
#pragma once

#include "vozer_api.h"

namespace vz {

// The table handed to the Program and the plug-ins. Valid for the whole process.
VozerEngineApi* api();

// Fill every slot and the shader word. Idempotent; called at the runtime-state
// reset and again when a renderer is bound.
void fillEngineApi();

// Zero the table (the first step of the runtime-state reset).
void clearEngineApi();

namespace slots {
#define VZ_DECLARE_SLOT(index, result, name, params, impl) result impl params;
VOZER_API_SLOTS(VZ_DECLARE_SLOT)
#undef VZ_DECLARE_SLOT
}  // namespace slots

namespace shader_slots {
VozerShader* GetShader(const char* name);
void SetShader(VozerShader* shader);
void SetShaderTexture(int32_t stage, VozerBitmap* bitmap);
void SetShaderParam(VozerShader* shader, int32_t index, const void* value);
void DrawBitmapShaded(VozerBitmap* bitmap, float x, float y, float angle, float scale);
}  // namespace shader_slots

}  // namespace vz
