// Fuzz target for Vudozar array files: any bytes loaded as a database, then
// every lookup checked against what was loaded.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "api/engine_api.h"
#include "fuzz_support.h"
#include "data/vudozar.h"

using vz::fuzz::check;
using vz::fuzz::silenceMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool silenced = (silenceMessages(), true);
    (void)silenced;
    using namespace vz::vudozar;

    std::unique_ptr<Database> db = LoadDatabaseFromMemory("fuzz.xml", data, size);
    check(db != nullptr);
    const int arrays = GetArrayCount(db.get());
    for (int a = 0; a < arrays; ++a) {
        const Array* array = GetArrayAt(db.get(), a);
        check(array != nullptr);
        const Array* found = FindArray(db.get(), array->id);
        check(found != nullptr && found <= array);
        const int nodes = GetNodeCount(array);
        for (int n = 0; n < nodes; ++n) {
            const Node* node = GetNodeAt(array, n);
            check(node != nullptr);
            if (node->id) {
                const Node* byId = FindNode(array, node->id);
                check(byId != nullptr && byId <= node && std::strcmp(byId->id, node->id) == 0);
            }
            for (int p = 0; p < GetPairCount(node); ++p) {
                const Pair* pair = GetPairAt(node, p);
                check(pair && pair->key && pair->value);
                const char* value = GetValue(node, pair->key);
                check(value != nullptr);
                check(GetNodeValueAt(array, n, pair->key) == value);
            }
        }
        check(GetNodeAt(array, nodes) == nullptr);
    }
    check(GetArrayAt(db.get(), arrays) == nullptr);
    return 0;
}
