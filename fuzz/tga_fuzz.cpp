// Fuzz target for the TGA decoder: any bytes as a .tga file held in memory.
#include "image_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vz::fuzz::fuzzDecoder(data, size, vz::image::ImageFormat::Tga);
    return 0;
}
