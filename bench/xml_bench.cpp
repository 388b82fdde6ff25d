// Throughput of the XML token reader and of a whole Vudozar load over a large
// generated array file, with pugixml parsing the same bytes in the same run
// as the reference.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstdint>
#include <cstdio>
#include <string>

#include "api/engine_api.h"
#include "compare.h"
#include "data/vudozar.h"
#include "data/vudozar_load.h"
#include "data/xml_reader.h"

namespace {

int32_t quietPrint(const char*, ...) { return 0; }
int32_t quietLevel(int32_t, const char*, ...) { return 0; }

// About 6 MB shaped like the engine's data files: arrays of nodes with a
// handful of attributes, some escapes, comments and text bodies. The
// bytes must be well-formed for both readers, so no escaped quotes.
const std::string& document() {
    static const std::string text = [] {
        std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n";
        char line[512];
        for (int a = 0; a < 200; ++a) {
            std::snprintf(line, sizeof line, "  <!-- array %d -->\n  <array id=\"ARRAY_%d\">\n", a, a);
            out += line;
            for (int n = 0; n < 250; ++n) {
                const int i = a * 250 + n;
                if (n % 10 == 9) {
                    std::snprintf(line, sizeof line,
                                  "    <node id=\"text_%d\">Some body text for node %d, with spaces.</node>\n", i,
                                  i);
                } else {
                    std::snprintf(line, sizeof line,
                                  "    <node id=\"item_%d\" name=\"Item number %d\" value=\"%d\" "
                                  "scale=\"%d.%02d\" visible=\"true\" file=\"images/item_%d\" "
                                  "caption=\"first line\\nsecond line %d\"/>\n",
                                  i, i, i * 37, i % 7, i % 100, i, i);
                }
                out += line;
            }
            out += "  </array>\n";
        }
        out += "</root>\n";
        return out;
    }();
    return text;
}

void BM_ZT_XMLReader(benchmark::State& state) {
    VozerEngineApi* table = vz::api();
    table->Print = &quietPrint;
    table->Popup = &quietLevel;
    const std::string& doc = document();
    vz::ZT_XMLReader reader;
    for (auto _ : state) {
        reader.OpenMemory("bench.xml", doc.data(), doc.size());
        size_t attributes = 0;
        while (const vz::XmlElement* e = reader.ReadNext()) attributes += static_cast<size_t>(e->count);
        benchmark::DoNotOptimize(attributes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}
BENCHMARK(BM_ZT_XMLReader)->Unit(benchmark::kMillisecond);

// pugixml builds a whole tree (more work than a token stream, but what a
// general-purpose reader would give us); the count walk keeps its lazy parts honest.
void BM_Pugixml(benchmark::State& state) {
    const std::string& doc = document();
    for (auto _ : state) {
        pugi::xml_document tree;
        const pugi::xml_parse_result result = tree.load_buffer(doc.data(), doc.size());
        if (!result) state.SkipWithError("pugixml rejected the document");
        size_t attributes = 0;
        for (pugi::xml_node array : tree.child("root").children())
            for (pugi::xml_node node : array.children())
                for (pugi::xml_attribute attribute : node.attributes()) {
                    (void)attribute;
                    ++attributes;
                }
        benchmark::DoNotOptimize(attributes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}
BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond);

// The like-for-like row: a Vudozar load builds arrays, nodes and kept strings
// from the same token stream, as pugixml builds its tree.
void BM_VudozarLoad(benchmark::State& state) {
    VozerEngineApi* table = vz::api();
    table->Print = &quietPrint;
    table->Popup = &quietLevel;
    const std::string& doc = document();
    for (auto _ : state) {
        vz::vudozar::Database database("bench.xml");
        vz::ZT_XMLReader reader;
        reader.OpenMemory("bench.xml", doc.data(), doc.size());
        vz::vudozar::readArrays(database, reader);
        benchmark::DoNotOptimize(database.arrays().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}
BENCHMARK(BM_VudozarLoad)->Unit(benchmark::kMillisecond);

VOZER_COMPARE(BM_VudozarLoad, BM_Pugixml, "");
VOZER_COMPARE(BM_ZT_XMLReader, BM_Pugixml, "token stream vs a whole DOM parse: not like for like");

}  // namespace
