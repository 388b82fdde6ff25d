// Fuzz target for the PNG decoder: any bytes as a .png file held in memory.
#include "image_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vz::fuzz::fuzzDecoder(data, size, vz::image::ImageFormat::Png);
    return 0;
}
