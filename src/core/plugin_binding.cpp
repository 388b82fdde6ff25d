// Finding, loading and testing the renderer, input and sound libraries. A
// library that fails any step is unloaded again: nothing stays half-bound.
#include "core/plugin_binding.h"

#include <string>

#include "api/engine_api.h"
#include "api/threads.h"
#include "core/directx_version.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

// Load the library `name` and obtain its object through `exportName`. Logs
// the fixed texts of kind `kind` ("RendImp", "InputImp", "SoundImp") for
// each failure. On success `library` holds the loaded library.
void* bindLibrary(const char* kind, const char* exportName, const char* name, void*& library) {
    VozerEngineApi* a = api();
    library = loadPluginLibrary(name);
    if (!library) {
        a->Log(VZ_ERROR, "[FATAL] %s Library not found or bad (error code %d).\n", kind,
               static_cast<int>(platform::lastErrorCode()));
        return nullptr;
    }
    using GetInterface = void*(VZ_CDECL*)(void);
    auto getInterface = reinterpret_cast<GetInterface>(platform::findSymbol(library, exportName));
    if (!getInterface) {
        a->Log(VZ_ERROR, "[FATAL] %s Library, no %s function exported.\n", kind, exportName);
        platform::freeLibrary(library);
        library = nullptr;
        return nullptr;
    }
    void* object = getInterface();
    if (!object) {
        a->Log(VZ_ERROR, "[FATAL] %s Library, GetInterface failed.\n", kind);
        platform::freeLibrary(library);
        library = nullptr;
    }
    return object;
}

}  // namespace

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
    if (rendererNeedsDirectX(name) && !directXCheckDeferred(name) && directXTooOldFor(name, directXVersion())) {
        a->Log(VZ_WARNING, "DirectX version not supported.\n");
        return nullptr;
    }
    void* library = nullptr;
    auto* renderer = static_cast<VozerRendImp*>(bindLibrary("RendImp", VZ_RENDIMP_EXPORT, name, library));
    if (!renderer) return nullptr;
    if (!renderer->ops->IsSupported(renderer)) {
        a->Log(VZ_WARNING, "RendImp is not supported on this system.\n");
        platform::freeLibrary(library);
        state.renderer = nullptr;
        return nullptr;
    }
    state.rendererLibrary = library;
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
    void* library = nullptr;
    auto* input = static_cast<VozerInputImp*>(bindLibrary("InputImp", VZ_INPUTIMP_EXPORT, name, library));
    if (!input) return false;
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
    void* library = nullptr;
    auto* sound = static_cast<VozerSoundImp*>(bindLibrary("SoundImp", VZ_SOUNDIMP_EXPORT, name, library));
    if (!sound) return nullptr;
    state.soundLibrary = library;
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
