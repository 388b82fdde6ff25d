#include "data/vudozar.h"

#include <cctype>
#include <cstring>
#include <mutex>

#include "data/vudozar_load.h"

namespace vz {
namespace vudozar {

namespace {

constexpr size_t STRING_BLOCK_SIZE = 16 * 1024;
constexpr size_t LONG_STRING = STRING_BLOCK_SIZE / 16;

// Databases are never unloaded: the registry is created on first use and
// deliberately never destroyed, so pointers handed out stay valid even for
// code that runs during static destruction.
struct Registry {
    // Start-up reads on the main thread, but font and bitmap code may ask from
    // worker threads; recursive so a popup that re-enters cannot deadlock.
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<Database>> databases;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

}  // namespace

Database::Database(const char* fileName) {
    fileName_ = keep(fileName ? fileName : "");
}

Database::~Database() = default;

const char* Database::keep(const char* text) {
    if (!text) text = "";
    const size_t size = std::strlen(text) + 1;
    char* copy;
    if (size > LONG_STRING) {
        // Long strings get a block of their own rather than wasting the rest
        // of a shared one.
        longStrings_.emplace_back(new char[size]);
        copy = longStrings_.back().get();
    } else {
        if (blocks_.empty() || blockUsed_ + size > blockSize_) {
            blocks_.emplace_back(new char[STRING_BLOCK_SIZE]);
            blockUsed_ = 0;
            blockSize_ = STRING_BLOCK_SIZE;
        }
        copy = blocks_.back().get() + blockUsed_;
        blockUsed_ += size;
    }
    std::memcpy(copy, text, size);
    return copy;
}

Database* GetDatabase(const char* fileName) {
    if (!fileName) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    for (const auto& database : r.databases) {
        if (equalsIgnoringCase(database->fileName(), fileName)) return database.get();
    }
    // Registered before loading, and kept whatever the outcome, so a bad file
    // is reported once rather than on every request.
    r.databases.emplace_back(new Database(fileName));
    Database* database = r.databases.back().get();
    loadDatabaseFile(*database);
    return database;
}

int GetArrayCount(const Database* database) {
    return database ? static_cast<int>(database->arrays().size()) : 0;
}

int GetNodeCount(const Array* array) {
    return array ? static_cast<int>(array->nodes.size()) : 0;
}

int GetPairCount(const Node* node) {
    return node ? static_cast<int>(node->pairs.size()) : 0;
}

const Array* FindArray(const Database* database, const char* id) {
    if (!database) return nullptr;
    for (const Array& array : database->arrays()) {
        if (!id ? !array.id : array.id && std::strcmp(array.id, id) == 0) return &array;
    }
    return nullptr;
}

const Array* GetArrayAt(const Database* database, int index) {
    if (index < 0 || index >= GetArrayCount(database)) return nullptr;
    return &database->arrays()[static_cast<size_t>(index)];
}

const Node* GetNodeAt(const Array* array, int index) {
    if (index < 0 || index >= GetNodeCount(array)) return nullptr;
    return &array->nodes[static_cast<size_t>(index)];
}

const Node* FindNode(const Array* array, const char* id) {
    if (!array || !id) return nullptr;
    for (const Node& node : array->nodes) {
        if (node.id && std::strcmp(node.id, id) == 0) return &node;
    }
    return nullptr;
}

const char* GetValue(const Node* node, const char* key) {
    if (!node || !key) return nullptr;
    for (const Pair& pair : node->pairs) {
        if (std::strcmp(pair.key, key) == 0) return pair.value;
    }
    return nullptr;
}

const Pair* GetPairAt(const Node* node, int index) {
    if (index < 0 || index >= GetPairCount(node)) return nullptr;
    return &node->pairs[static_cast<size_t>(index)];
}

const char* GetNodeValue(const Array* array, const char* nodeId, const char* key) {
    return GetValue(FindNode(array, nodeId), key);
}

const char* GetNodeValueAt(const Array* array, int index, const char* key) {
    return GetValue(GetNodeAt(array, index), key);
}

}  // namespace vudozar
}  // namespace vz
