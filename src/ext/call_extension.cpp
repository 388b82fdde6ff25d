// CallExtension: the open-ended entry point through which the Program asks
// for platform services and facts by name. The runtime's own tables answer
// first; names they do not know go to the renderer plug-in and then to the
// input plug-ins, so platform libraries can add their own.
#include <cstring>

#include "api/engine_api.h"
#include "ext/extensions.h"
#include "ext/ext_tables.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::ext {

namespace {

constexpr size_t SHOWN_MAX = 200;

bool matches(const Entry& entry, const char* name) {
    return entry.prefix ? std::strncmp(name, entry.name, std::strlen(entry.name)) == 0
                        : std::strcmp(name, entry.name) == 0;
}

bool ask(const std::vector<Entry>& table, const char* name, const char* argument, const char*& result) {
    for (const Entry& entry : table) {
        if (!matches(entry, name)) continue;
        const Answer a = entry.handler(name, argument);
        if (!a.recognised) continue;
        result = a.text;
        return true;
    }
    return false;
}

const char* askPlugins(const char* name, const char* argument) {
    RuntimeState& state = rt();
    if (VozerRendImp* renderer = state.renderer) {
        if (const char* text = renderer->ops->Extension(renderer, name, argument)) return text;
    }
    for (void* library : state.inputLibraries) {
        if (!library) continue;
        auto extension = reinterpret_cast<VozerInputImpExtensionFn>(
            platform::findSymbol(library, VZ_INPUTIMP_EXTENSION_EXPORT));
        if (!extension) continue;
        if (const char* text = extension(name, argument)) return text;
    }
    return nullptr;
}

}  // namespace

void resetExtensionState() {
    resetQueryState();
    resetSimulationState();
}

ServiceHooks& serviceHooks() {
    static ServiceHooks hooks;
    return hooks;
}

const char* keep(std::string& slot, std::string text) {
    slot = std::move(text);
    return slot.c_str();
}

std::string shown(const char* text) {
    if (!text) return "(null)";
    std::string out(text, strnlen(text, SHOWN_MAX + 1));
    if (out.size() > SHOWN_MAX) out.replace(SHOWN_MAX, std::string::npos, "...");
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return out;
}

}  // namespace vz::ext

namespace vz::slots {

void* CallExtension(const char* name, void* argument) {
    if (!name) return nullptr;
    using namespace vz::ext;
    try {
        const char* text = static_cast<const char*>(argument);
        const char* result = nullptr;
        if (ask(platformServices(), name, text, result) || ask(runtimeQueries(), name, text, result) ||
            (rt().boot.developerMode && ask(developerSimulations(), name, text, result)))
            return const_cast<char*>(result);
        return const_cast<char*>(askPlugins(name, text));
    } catch (...) {
        // Nothing may unwind into the Program.
        return nullptr;
    }
}

}  // namespace vz::slots
