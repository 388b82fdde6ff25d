// The feature test of the boot configuration, for every service.
#pragma once

#include <string>

namespace vz {

// Whole-token search of `name` in the configuration's feature lists.
bool hasFeature(const char* name);
// Whether `token` stands in `list` bounded by its ends, ' ', ',' or ';'.
bool listHasToken(const std::string& list, const char* token);

}  // namespace vz
