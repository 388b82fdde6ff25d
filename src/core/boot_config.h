// The boot configuration: res://prog.xml and res://developer.xml.
#pragma once

namespace vz {

// Read both files into the runtime state and the Program record (binding the
// renderer as soon as its name is known). False when prog.xml could not be
// read; start-up then goes on with the defaults.
bool readBootConfiguration();
// Open the resource packages listed in the configuration as search paths.
void openResourcePackages();
// Whole-token search of `name` in the configuration's feature lists.
bool hasFeature(const char* name);

}  // namespace vz
