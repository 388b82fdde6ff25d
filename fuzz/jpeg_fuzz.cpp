// Fuzz target for the JPEG decoder: any bytes as a .jpeg file held in memory.
#include "image_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vz::fuzz::fuzzDecoder(data, size, vz::image::ImageFormat::Jpeg);
    return 0;
}
