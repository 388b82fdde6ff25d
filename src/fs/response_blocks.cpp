#include "fs/response_blocks.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace vz::fs {

namespace {

struct Kept {
    std::mutex lock;
    std::map<const uint8_t*, std::vector<uint8_t*>> byResponse;
};

// Never destroyed: a worker may free a response while the process ends.
Kept& kept() {
    static Kept* k = new Kept;
    return *k;
}

void freeAll(std::vector<uint8_t*>& blocks) {
    for (uint8_t* block : blocks) std::free(block);
    blocks.clear();
}

}  // namespace

void keepOutgrownBlocks(const uint8_t* finalData, std::vector<uint8_t*> blocks) {
    if (blocks.empty()) return;
    if (!finalData) {
        freeAll(blocks);
        return;
    }
    Kept& k = kept();
    std::lock_guard<std::mutex> guard(k.lock);
    std::vector<uint8_t*>& list = k.byResponse[finalData];
    list.insert(list.end(), blocks.begin(), blocks.end());
}

void freeOutgrownBlocks(const uint8_t* finalData) {
    if (!finalData) return;
    std::vector<uint8_t*> blocks;
    {
        Kept& k = kept();
        std::lock_guard<std::mutex> guard(k.lock);
        auto it = k.byResponse.find(finalData);
        if (it == k.byResponse.end()) return;
        blocks.swap(it->second);
        k.byResponse.erase(it);
    }
    freeAll(blocks);
}

}  // namespace vz::fs
