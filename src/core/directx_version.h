// The installed DirectX version, which decides whether a Direct3D renderer
// library may be bound.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vz {

// ((major x 256) + minor) x 256 + letter, the letter counting from 1 for 'a'
// (any case) and 0 when there is none: 9.0c is 0x90003, 8.1 is 0x80100.
int32_t encodeDirectXVersion(const platform::DirectXVersion& version);
// Starts asking the diagnostics provider (else the system files) on a worker
// thread; the first directXVersion() of the run waits for the answer.
// Called at the start of pre-initialisation, after the runtime state reset.
void startDirectXVersionQuery();
// The answer of the run's query (asked now if none was started); logs it.
// 0 when DirectX is missing or neither source could be read.
int32_t directXVersion();
// Whether a renderer library of that name cannot run on `version`: "d3d9" in
// the name needs 9.0 or later, "d3d8" 8.0 or later, and "d3d10" (checked
// first) a version number of at least 0x100000.
bool directXTooOldFor(const char* rendererName, int32_t version);
// Whether the renderer's name calls for the DirectX test at all.
bool rendererNeedsDirectX(const char* rendererName);

}  // namespace vz
