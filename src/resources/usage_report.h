// The resource usage report: what the pools of bitmaps, sounds and fonts hold
// and roughly how much memory each item costs, for the developer.
//
// Reached through the extension functions "ListResourceUsage" (the listing)
// and "RefreshMemUsageEstimates" (the five figures the memory overlay plots).
#pragma once

#include <cstdint>

namespace vz {

// A sound above this size (bytes) is taken for music, which streams: it is
// listed but counts 0 in totals and estimates.
constexpr int32_t MUSIC_SIZE_THRESHOLD = 4194304;
// The hog list shows at most this many of the largest items.
constexpr int32_t MEMORY_HOG_LINES = 50;

// Indices of the memory estimates (bytes), stored as engine values
// 2001 + index by "RefreshMemUsageEstimates".
enum MemoryEstimate {
    ESTIMATE_GPU = 0,        // renderer memory of bitmaps and font pages, textures at their real size
    ESTIMATE_GPU_NPOT = 1,   // the same at the images' own sizes (no power-of-two padding)
    ESTIMATE_TOTAL = 2,      // everything: system and renderer memory of all kinds, sounds
    ESTIMATE_SYSTEM = 3,     // system (pixel) memory of bitmaps and fonts
    ESTIMATE_SOUNDS = 4,     // sounds, music excluded
    ESTIMATE_COUNT = 5
};

// Write the report through Print and Log: every named slot of the three
// pools, the totals, the state record's size and the fifty largest uploaded
// items. Takes each pool's lock while it walks that pool.
void listResourceUsage();
// Fill the five estimates (bytes); always true.
bool estimateMemoryUsage(float estimates[ESTIMATE_COUNT]);

// Offer the two services to the extension functions (when the resource
// managers start) and take them back (at shutdown).
void installUsageReportHooks();
void removeUsageReportHooks();

}  // namespace vz
