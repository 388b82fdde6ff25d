// Loading of Vudozar array files; internal to the data module.
#pragma once

#include "data/vudozar.h"

namespace vz {

class ZT_XMLReader;

namespace vudozar {

// Loads the file named by the database's file name into it, reporting
// problems by popup. Leaves the database empty or partial on failure.
void loadDatabaseFile(Database& database);

// Names and file endings are compared this way (ASCII letters only).
bool equalsIgnoringCase(const char* a, const char* b);

// Builds arrays and nodes from an opened reader. Returns false when the
// stream broke off after a node (reported).
bool readArrays(Database& database, ZT_XMLReader& reader);

}  // namespace vudozar
}  // namespace vz
