#include "core/plugin_binding.h"

#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "state/runtime_state.h"
#include "fs/paths.h"
#include "platform/platform.h"

namespace vz {

void* loadPluginLibrary(const char* name) {
    for (const char* folder : {"res://core/", "res://"}) {
        std::string path = fs::ResolvePath((std::string(folder) + name).c_str());
        if (path.empty()) continue;
        if (void* library = platform::loadLibrary(path.c_str())) return library;
    }
    return nullptr;
}

const char* rendererLibraryName() {
    static std::string overrideName;
    overrideName = platform::environment("VOZER_RENDERER");
    if (!overrideName.empty()) return overrideName.c_str();
    return rt().rendererName.c_str();
}

VozerRendImp* bindRenderer() {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    const char* name = rendererLibraryName();
    a->Log(VZ_SYSTEM, "Using RendImp Library: '%s': ", name);

    void* library = loadPluginLibrary(name);
    if (!library) {
        a->Log(VZ_ERROR, "[FATAL] RendImp Library not found or bad (error code %d).\n",
               static_cast<int>(platform::lastErrorCode()));
        return nullptr;
    }
    auto getInterface =
        reinterpret_cast<VozerRendImpGetInterfaceFn>(platform::findSymbol(library, VZ_RENDIMP_EXPORT));
    if (!getInterface) {
        a->Log(VZ_ERROR, "[FATAL] RendImp Library, no VOZER_RendImp_GetInterface function exported.\n");
        platform::freeLibrary(library);
        return nullptr;
    }
    state.rendererLibrary = library;
    VozerRendImp* renderer = getInterface();
    if (!renderer) {
        a->Log(VZ_ERROR, "[FATAL] RendImp Library, GetInterface failed.\n");
        return nullptr;
    }
    if (!renderer->ops->IsSupported(renderer)) {
        a->Log(VZ_WARNING, "RendImp is not supported on this system.\n");
        platform::freeLibrary(library);
        state.rendererLibrary = nullptr;
        state.renderer = nullptr;
        return nullptr;
    }
    a->Log(VZ_SYSTEM, "%s.\n", renderer->ops->GetName(renderer));
    return renderer;
}

bool bindRendererIfUnbound() {
    RuntimeState& state = rt();
    if (state.renderer) return true;
    state.renderer = bindRenderer();
    if (!state.renderer) return false;
    fillEngineApi();
    state.renderer->ops->SetEngineApi(state.renderer, api());
    return true;
}

void unbindRenderer() {
    RuntimeState& state = rt();
    EngineLock lock(MUTEX_GFX_HW);
    if (state.rendererLibrary) platform::freeLibrary(state.rendererLibrary);
    state.rendererLibrary = nullptr;
    state.renderer = nullptr;
}

bool bindInput(const char* name) {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    if (state.inputCount >= MAX_INPUTS) return false;
    a->Log(VZ_SYSTEM, "InputImp Library: '%s'\n", name);
    void* library = loadPluginLibrary(name);
    if (!library) {
        a->Log(VZ_ERROR, "[FATAL] InputImp Library not found or bad (error code %d).\n",
               static_cast<int>(platform::lastErrorCode()));
        return false;
    }
    auto getInterface =
        reinterpret_cast<VozerInputImpGetInterfaceFn>(platform::findSymbol(library, VZ_INPUTIMP_EXPORT));
    if (!getInterface) {
        a->Log(VZ_ERROR, "[FATAL] InputImp Library, no VOZER_InputImp_GetInterface function exported.\n");
        platform::freeLibrary(library);
        return false;
    }
    VozerInputImp* input = getInterface();
    if (!input) {
        // The library stays loaded, as after a renderer whose GetInterface failed.
        a->Log(VZ_ERROR, "[FATAL] InputImp Library, GetInterface failed.\n");
        return false;
    }
    a->Log(VZ_SYSTEM, "InputImp Library Loaded ok.\n");
    if (!input->ops->IsSupported(input)) {
        a->Log(VZ_WARNING, "InputImp is not supported on this system.\n");
        platform::freeLibrary(library);
        return false;
    }
    state.inputLibraries[state.inputCount] = library;
    state.inputs[state.inputCount] = input;
    ++state.inputCount;
    return true;
}

VozerSoundImp* bindSound(const char* name) {
    RuntimeState& state = rt();
    VozerEngineApi* a = api();
    a->Log(VZ_SYSTEM, "SoundImp Library: '%s'\n", name);
    void* library = loadPluginLibrary(name);
    if (!library) {
        a->Log(VZ_ERROR, "[FATAL] SoundImp Library not found or bad (error code %d).\n",
               static_cast<int>(platform::lastErrorCode()));
        return nullptr;
    }
    auto getInterface =
        reinterpret_cast<VozerSoundImpGetInterfaceFn>(platform::findSymbol(library, VZ_SOUNDIMP_EXPORT));
    if (!getInterface) {
        a->Log(VZ_ERROR, "[FATAL] SoundImp Library, no VOZER_SoundImp_GetInterface function exported.\n");
        platform::freeLibrary(library);
        return nullptr;
    }
    state.soundLibrary = library;
    VozerSoundImp* sound = getInterface();
    if (!sound) {
        a->Log(VZ_ERROR, "[FATAL] SoundImp Library, GetInterface failed.\n");
        return nullptr;
    }
    a->Log(VZ_SYSTEM, "SoundImp Library Loaded ok.\n");
    return sound;
}

void startSoundImplementation() {
    RuntimeState& state = rt();
    VozerSoundImp* sound = state.soundName.empty() ? nullptr : bindSound(state.soundName.c_str());
    if (sound && sound->ops->Init(sound, &state.shared, &state.rendererParams)) {
        state.sound = sound;
        api()->Log(VZ_SYSTEM, "SoundImp initialized.");
    } else {
        api()->Log(VZ_WARNING, "No Sound Implementation available.");
        state.sound = nullSoundImp();
    }
}

void unbindSound() {
    RuntimeState& state = rt();
    if (state.soundLibrary) {
        api()->Log(VZ_SYSTEM, "Unloading SoundImp Library.\n");
        platform::freeLibrary(state.soundLibrary);
        state.soundLibrary = nullptr;
    }
    state.sound = nullSoundImp();
}

}  // namespace vz
