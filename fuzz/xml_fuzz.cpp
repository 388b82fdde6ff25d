// Fuzz target for the XML token reader: any bytes as a document.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "api/engine_api.h"
#include "fuzz_support.h"
#include "data/xml_reader.h"

using vz::fuzz::check;
using vz::fuzz::silenceMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool silenced = (silenceMessages(), true);
    (void)silenced;

    vz::ZT_XMLReader reader;
    if (!reader.OpenMemory("fuzz.xml", data, size)) return 0;
    size_t steps = 0;
    while (!reader.AtEnd()) {
        // Every call consumes at least one byte, so the stream must end.
        if (++steps > size + 1) std::abort();
        const vz::XmlElement* e = reader.ReadNext();
        if (!e) continue;
        if (e->count < 0 || e->count > vz::XmlElement::MAX_ATTRIBUTES) std::abort();
        if (e->name && std::strlen(e->name) >= vz::ZT_XMLReader::TOKEN_CAPACITY) std::abort();
        for (int i = 0; i < e->count; ++i) {
            if (std::strlen(e->names[i]) >= vz::ZT_XMLReader::TOKEN_CAPACITY) std::abort();
            if (std::strlen(e->values[i]) >= vz::ZT_XMLReader::TOKEN_CAPACITY) std::abort();
        }
    }
    if (reader.ReadNext() != nullptr) std::abort();
    return 0;
}
