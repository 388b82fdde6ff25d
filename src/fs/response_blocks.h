// Blocks a growing HTTP response left behind. A response of unannounced
// length grows into new blocks, and another thread may still be reading the
// block it last saw (HttpRequest publishes the body as it arrives), so an
// outgrown block is kept until the Program frees the response.
#pragma once

#include <cstdint>
#include <vector>

namespace vz::fs {

// Keep `blocks` until the response whose data is `finalData` is freed;
// with no final data they are freed at once.
void keepOutgrownBlocks(const uint8_t* finalData, std::vector<uint8_t*> blocks);
// Free the blocks kept for the response whose data is `finalData` (FreeBuffer).
void freeOutgrownBlocks(const uint8_t* finalData);

}  // namespace vz::fs
