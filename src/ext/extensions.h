// Named extension functions (CallExtension): what the rest of the runtime
// reads from them or lends them.
#pragma once

#include <string>
#include <vector>

namespace vz::ext {

// Names registered through "Console_AddCommand", in registration order, each
// once; the developer console offers them for completion.
std::vector<std::string> consoleCommands();

// Services of other subsystems that extension names reach. Each subsystem
// sets its entry when it starts; a name whose service is not set answers
// null and says so in the log.
struct ServiceHooks {
    // "ListResourceUsage": the resource usage report.
    void (*listResourceUsage)() = nullptr;
    // "RefreshMemUsageEstimates": fill the five memory estimates (bytes) that
    // go to engine values 2001-2005 (GPU, GPU without padding, total, system,
    // sounds: resources/usage_report.h); false when they cannot be computed.
    bool (*estimateMemoryUsage)(float estimates[5]) = nullptr;
    // "RawInput"/"Refresh": register the raw-input mice again.
    bool (*registerRawMice)() = nullptr;
};
ServiceHooks& serviceHooks();

// The advertisement placeholders of the developer simulation, drawn in the
// Program's coordinates after its Render (nothing when none is shown).
void drawAdPlaceholders();

// Forget registered console commands, the simulated credits and ads (tests).
void resetExtensionState();

}  // namespace vz::ext
