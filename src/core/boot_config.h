// The boot configuration: res://prog.xml and res://developer.xml.
#pragma once

#include <string>

#include "state/features.h"

namespace vz {

namespace vudozar {
class Database;
}

// Read both files into the runtime state and the Program record (binding the
// renderer as soon as its name is known). False when there is no Program or
// prog.xml could not be read; start-up then goes on with the defaults.
bool readBootConfiguration();
// The reading itself, over loaded databases (developer may be null).
bool applyBootConfiguration(const vudozar::Database* prog, const vudozar::Database* developer);
// Open the resource packages listed in the configuration as search paths.
void openResourcePackages();
// A key of the chosen variant, else of PARAMETERS/APPLICATION; null when absent.
const char* productValue(const char* key);
// Whether a package condition ("res>=1280x720", "feature=X", ...) holds for
// a Program of width x height.
bool packageConditionHolds(const char* condition, int width, int height);

}  // namespace vz
