// Finding, loading and testing the renderer, input and sound libraries.
#pragma once

#include "vozer_inputimp.h"
#include "vozer_rendimp.h"
#include "vozer_soundimp.h"

namespace vz {

// Load a plug-in library by name from res://core/, then from res://.
void* loadPluginLibrary(const char* name);

// The renderer named in the boot configuration, or the VOZER_RENDERER override.
const char* rendererLibraryName();
VozerRendImp* bindRenderer();
// Bind when none is bound yet, refill the engine API table and offer it to
// the renderer. False when binding failed.
bool bindRendererIfUnbound();
void unbindRenderer();

bool bindInput(const char* name);

VozerSoundImp* bindSound(const char* name);
// Bind the configured sound library and start it; the null implementation
// when either fails ("No Sound Implementation available.").
void startSoundImplementation();
void unbindSound();
// The silent implementation used when no sound library works.
VozerSoundImp* nullSoundImp();

}  // namespace vz
