// The installed DirectX version, which decides whether a Direct3D renderer
// library may be bound.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vz {

// ((major x 256) + minor) x 256 + letter, the letter counting from 1 for 'a'
// (any case) and 0 when there is none: 9.0c is 0x90003, 8.1 is 0x80100.
int32_t encodeDirectXVersion(const platform::DirectXVersion& version);
// Whether the DirectX test of a Direct3D renderer being bound waits until
// after the first frame: when the provider is slow and the run has no answer
// yet. The renderer's name is kept for directXRefusedLate().
bool directXCheckDeferred(const char* rendererName);
// The deferred test: the first call (after the first frame) starts asking on
// a worker thread; the main loop calls it after every frame (`wait` false)
// and once more, waiting, before shutdown. True when the renderer turns out
// to need a newer DirectX (logged as a refused binding is).
bool directXRefusedLate(bool wait);
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
