// Vudozar: the runtime's store of configuration data.
//
// A database is an XML "array file" loaded into database -> arrays -> nodes
// -> key/value pairs, all text. Databases are loaded once per file name and
// kept until the process ends, so every pointer handed out here (arrays,
// nodes, strings) stays valid for the rest of the run; callers never free
// them. Lookups are linear scans with exact, case-sensitive comparison; the
// files are small.
//
// Every lookup accepts null for the object it searches and then finds
// nothing, so chains such as
//     GetNodeValue(FindArray(db, "PARAMETERS"), "APPLICATION", "fps_limit")
// need no checks in between: a missing array, node or key all give null.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace vz {
namespace vudozar {

struct Pair {
    const char* key;    // never null
    const char* value;  // never null; "" for an attribute written without a value
};

struct Node {
    // Value of the node's `id` attribute (the last one when written twice),
    // or null when it has none. The id is also one of the pairs.
    const char* id = nullptr;
    // Attributes in file order; a node with a text body ends with the pair
    // {"DATA", text}.
    std::vector<Pair> pairs;
};

struct Array {
    const char* id = nullptr;  // null when the array element has no `id`
    std::vector<Node> nodes;
};

class Database {
public:
    explicit Database(const char* fileName);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const char* fileName() const { return fileName_; }
    const std::vector<Array>& arrays() const { return arrays_; }

    // Loading only: the arrays being built, and a copy of `text` that lives as
    // long as the database.
    std::vector<Array>& buildArrays() { return arrays_; }
    const char* keep(const char* text);

private:
    // Strings live in large blocks that are never moved or freed before the
    // database, so the pointers in pairs stay valid while vectors grow.
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> longStrings_;
    size_t blockUsed_ = 0;
    size_t blockSize_ = 0;
    const char* fileName_ = nullptr;
    std::vector<Array> arrays_;
};

// The loaded database of this file name (compared without regard to case);
// loads and registers it on the first request. A file that is missing, of the
// wrong type or damaged still gives a database (empty or partial, reported by
// popup), which is not loaded again. Null only for a null name.
Database* GetDatabase(const char* fileName);

// Loads bytes as an array file without registering them; `name` is used in
// messages. For tools, tests and data that does not come from a file.
std::unique_ptr<Database> LoadDatabaseFromMemory(const char* name, const void* data, size_t size);

// Number of arrays / nodes / pairs; 0 for null.
int GetArrayCount(const Database* database);
int GetNodeCount(const Array* array);
int GetPairCount(const Node* node);

// First array whose id equals `id` exactly; a null `id` finds the first array
// without an id.
const Array* FindArray(const Database* database, const char* id);
// Array or node by position in file order; null outside 0..count-1.
const Array* GetArrayAt(const Database* database, int index);
const Node* GetNodeAt(const Array* array, int index);
// First node whose id equals `id` exactly; null `id` finds nothing.
const Node* FindNode(const Array* array, const char* id);

// Value of the first pair whose key equals `key` exactly, or null.
const char* GetValue(const Node* node, const char* key);
// Pair by position, for callers that walk every key (null outside the range).
const Pair* GetPairAt(const Node* node, int index);
// FindNode / GetNodeAt followed by GetValue.
const char* GetNodeValue(const Array* array, const char* nodeId, const char* key);
const char* GetNodeValueAt(const Array* array, int index, const char* key);

}  // namespace vudozar
}  // namespace vz
