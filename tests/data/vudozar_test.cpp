#include "data/vudozar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "api_capture.h"

namespace vz {
namespace {

using testing::ApiCapture;
using namespace vudozar;

const char* const PROG_XML =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<root>\n"
    "  <!-- boot configuration -->\n"
    "  <array id=\"PARAMETERS\">\n"
    "    <node id=\"APPLICATION\" name=\"Game \\\"One\\\"\" fps_limit=\"60\" features=\"AUTOSCALE\"/>\n"
    "    <node id=\"DEVELOPER\">notes here</node>\n"
    "    <node id=\"EMPTY\" value=\"\"/>\n"
    "  </array>\n"
    "  <ARRAY Id=\"VARIANTS\">\n"
    "    <node ID=\"WINDOWS\" resolutions=\"*\"/>\n"
    "    <node id=\"WINDOWS/LARGE\" renderer_implementation=\"gfxmod_d3d8\"/>\n"
    "  </ARRAY>\n"
    "  <array><node id=\"anonymous\"/></array>\n"
    "</root>\n";

std::unique_ptr<Database> load(const std::string& text, const char* name = "mem.xml") {
    return LoadDatabaseFromMemory(name, text.data(), text.size());
}

TEST(Vudozar, LookupsOverABootConfiguration) {
    ApiCapture capture;
    auto db = load(PROG_XML);
    ASSERT_EQ(GetArrayCount(db.get()), 3);
    const Array* params = FindArray(db.get(), "PARAMETERS");
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(GetNodeCount(params), 3);
    EXPECT_STREQ(GetNodeValue(params, "APPLICATION", "name"), "Game \"One\"");
    EXPECT_STREQ(GetNodeValue(params, "APPLICATION", "fps_limit"), "60");
    // The id is a pair too; a text body is the last pair, "DATA".
    EXPECT_STREQ(GetNodeValueAt(params, 0, "id"), "APPLICATION");
    const Node* developer = FindNode(params, "DEVELOPER");
    ASSERT_NE(developer, nullptr);
    ASSERT_EQ(GetPairCount(developer), 2);
    EXPECT_STREQ(GetPairAt(developer, 1)->key, "DATA");
    EXPECT_STREQ(GetValue(developer, "DATA"), "notes here");
    // An empty value is present (not null); an absent key is null.
    EXPECT_STREQ(GetNodeValue(params, "EMPTY", "value"), "");
    EXPECT_EQ(GetNodeValue(params, "EMPTY", "missing"), nullptr);

    // Top-level "array" and the id attribute match in any case, the ids
    // themselves only exactly.
    const Array* variants = FindArray(db.get(), "VARIANTS");
    ASSERT_NE(variants, nullptr);
    EXPECT_EQ(GetArrayAt(db.get(), 1), variants);
    EXPECT_STREQ(GetNodeValue(variants, "WINDOWS", "resolutions"), "*");
    EXPECT_STREQ(GetNodeValue(variants, "WINDOWS/LARGE", "renderer_implementation"), "gfxmod_d3d8");
    EXPECT_EQ(FindNode(variants, "windows"), nullptr);
    EXPECT_EQ(FindArray(db.get(), "variants"), nullptr);
    // A null id finds the array without one.
    const Array* anonymous = FindArray(db.get(), nullptr);
    ASSERT_NE(anonymous, nullptr);
    EXPECT_EQ(anonymous->id, nullptr);
    EXPECT_STREQ(GetNodeAt(anonymous, 0)->id, "anonymous");

    // Everything is null-safe and range-checked, so lookups chain.
    EXPECT_EQ(GetNodeValue(FindArray(db.get(), "NOPE"), "APPLICATION", "name"), nullptr);
    EXPECT_EQ(GetNodeValue(params, nullptr, "name"), nullptr);
    EXPECT_EQ(GetValue(FindNode(params, "APPLICATION"), nullptr), nullptr);
    EXPECT_EQ(GetNodeAt(params, -1), nullptr);
    EXPECT_EQ(GetNodeAt(params, 3), nullptr);
    EXPECT_EQ(GetArrayAt(db.get(), 3), nullptr);
    EXPECT_EQ(GetArrayAt(nullptr, 0), nullptr);
    EXPECT_EQ(GetPairAt(developer, 2), nullptr);
    EXPECT_EQ(GetArrayCount(nullptr) + GetNodeCount(nullptr) + GetPairCount(nullptr), 0);

    EXPECT_TRUE(capture.popups().empty());
    ASSERT_EQ(capture.prints().size(), 1u);
    EXPECT_EQ(capture.prints()[0], "3 Arrays loaded with total 6 nodes.");
}

TEST(Vudozar, FileLayout) {
    ApiCapture capture;
    // Without the XML declaration the root and the first array are the two
    // skipped tokens, so the first array is lost (its nodes are skipped too).
    auto db = load("<root><array id=\"A\"><node id=\"a\"/></array><array id=\"B\"/></root>");
    EXPECT_EQ(FindArray(db.get(), "A"), nullptr);
    EXPECT_NE(FindArray(db.get(), "B"), nullptr);

    // Self-closing node, node with text, self-closing node: three nodes.
    db = load("<?xml?><r><array id=\"X\"><node id=\"1\" k=\"a\"/><node id=\"2\">body text</node>"
              "<node id=\"3\"/></array></r>");
    const Array* x = FindArray(db.get(), "X");
    ASSERT_EQ(GetNodeCount(x), 3);
    EXPECT_EQ(GetValue(GetNodeAt(x, 0), "DATA"), nullptr);
    EXPECT_STREQ(GetNodeValue(x, "2", "DATA"), "body text");
    EXPECT_STREQ(GetNodeAt(x, 2)->id, "3");

    // A node with an end tag but no text; nodes without ids; the last of two
    // ids; top-level elements that are not arrays are skipped.
    db = load("<?xml?><r><meta k=\"v\"/><array id=\"Y\"><node id=\"e\"></node><node k=\"1\"/>"
              "<node id=\"first\" id=\"second\"/></array></r>");
    const Array* y = FindArray(db.get(), "Y");
    ASSERT_EQ(GetNodeCount(y), 3);
    EXPECT_EQ(GetPairCount(GetNodeAt(y, 0)), 1);
    EXPECT_EQ(GetNodeAt(y, 1)->id, nullptr);
    EXPECT_STREQ(GetNodeAt(y, 2)->id, "second");
    EXPECT_EQ(FindNode(y, "first"), nullptr);
    EXPECT_TRUE(capture.popups().empty());

    // A new array before the end tag of the current one starts a new array;
    // a self-closing array is an empty array.
    db = load("<?xml?><r><array id=\"P\"><node id=\"p\"/><array id=\"Q\"><node id=\"q\"/>"
              "</array><array id=\"E\"/><array id=\"F\"><node id=\"f\"/></array></r>");
    ASSERT_EQ(GetArrayCount(db.get()), 4);
    EXPECT_NE(FindNode(FindArray(db.get(), "P"), "p"), nullptr);
    EXPECT_EQ(FindNode(FindArray(db.get(), "P"), "q"), nullptr);
    EXPECT_NE(FindNode(FindArray(db.get(), "Q"), "q"), nullptr);
    EXPECT_EQ(GetNodeCount(FindArray(db.get(), "E")), 0);
    EXPECT_NE(FindNode(FindArray(db.get(), "F"), "f"), nullptr);
}

TEST(Vudozar, DamagedFilesAreReported) {
    ApiCapture capture;
    auto db = load("<?xml?><r><array id=\"A\"><item id=\"i\"/>stray<node id=\"n\"/></array></r>", "d.xml");
    EXPECT_EQ(GetNodeCount(FindArray(db.get(), "A")), 1);
    ASSERT_EQ(capture.popups().size(), 2u);
    EXPECT_EQ(capture.popups()[0],
              "Vudozar: in 'd.xml' is expecting to find two three types of elements inside root: "
              "'array' and 'node'. 'item' is not one of them.");
    EXPECT_NE(capture.popups()[1].find("'stray' is not one of them."), std::string::npos);

    // The stream breaking off after a node's start tag ends the loading; what
    // was read stays.
    capture.messages.clear();
    db = load("<?xml?><r><array id=\"A\"><node id=\"ok\"/><node id=\"cut\">", "t.xml");
    EXPECT_EQ(GetNodeCount(FindArray(db.get(), "A")), 2);
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_EQ(capture.popups()[0], "Vudozar error parsing file 't.xml' after node #2 with id 'cut'.");

    // Truncated, deeply nested and binary inputs load partially or not at all.
    capture.messages.clear();
    std::string deep = "<?xml?><r><array id=\"D\">";
    for (int i = 0; i < 100000; ++i) deep += "<node id=\"n\"><x>";
    db = load(deep);
    EXPECT_EQ(GetNodeCount(FindArray(db.get(), "D")), 100000);
    db = load(std::string("\0\xff<\x01\"", 5));
    EXPECT_EQ(GetArrayCount(db.get()), 0);
    db = load("");
    EXPECT_EQ(GetArrayCount(db.get()), 0);
}

TEST(Vudozar, StringsStayValidAsTheDatabaseGrows) {
    ApiCapture capture;
    std::string text = "<?xml?><r><array id=\"big\">";
    for (int i = 0; i < 3000; ++i) {
        text += "<node id=\"n" + std::to_string(i) + "\" v=\"" + std::string(i % 7 == 0 ? 2000 : 3, 'a' + i % 26) +
                "\"/>";
    }
    text += "</array></r>";
    auto db = load(text);
    const Array* big = FindArray(db.get(), "big");
    ASSERT_EQ(GetNodeCount(big), 3000);
    for (int i = 0; i < 3000; i += 97) {
        const std::string expected(i % 7 == 0 ? 2000 : 3, 'a' + i % 26);
        EXPECT_EQ(GetNodeValue(big, ("n" + std::to_string(i)).c_str(), "v"), expected);
    }
}

TEST(Vudozar, RegistryLoadsEachFileOnce) {
    ApiCapture capture;
    capture.addFile("res://reg_prog.xml", PROG_XML);
    capture.addFile("res://REG_UPPER.XML", PROG_XML);
    Database* first = GetDatabase("res://reg_prog.xml");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetArrayCount(first), 3);
    // Names compare without regard to case; nothing is loaded twice.
    EXPECT_EQ(GetDatabase("RES://Reg_Prog.XML"), first);
    EXPECT_EQ(capture.countContaining("Arrays loaded"), 1u);
    EXPECT_EQ(capture.openModes, std::vector<std::string>{"rb"});
    EXPECT_EQ(capture.openCount, 0);
    EXPECT_EQ(GetArrayCount(GetDatabase("res://REG_UPPER.XML")), 3);

    // Wrong type and missing files still give a database, empty, reported once.
    capture.messages.clear();
    Database* text = GetDatabase("res://reg_notes.txt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(GetArrayCount(text), 0);
    EXPECT_EQ(GetDatabase("res://reg_notes.txt"), text);
    Database* missing = GetDatabase("res://reg_missing.xml");
    EXPECT_EQ(GetArrayCount(missing), 0);
    GetDatabase("res://reg_missing.xml");
    GetDatabase("xml");
    ASSERT_EQ(capture.popups().size(), 3u);
    EXPECT_EQ(capture.popups()[0],
              "Unknown database file type 'res://reg_notes.txt'.\nSupported formats are: .xml");
    EXPECT_EQ(capture.popups()[1], "ZT_XML Array File 'res://reg_missing.xml' not found!");
    EXPECT_EQ(capture.popups()[2], "Unknown database file type 'xml'.\nSupported formats are: .xml");
    EXPECT_EQ(GetDatabase(nullptr), nullptr);
}

TEST(Vudozar, RegistryBeforeTheEngineReadsNativeFiles) {
    const std::string path = ::testing::TempDir() + "vozer_vudozar_native.xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(PROG_XML, f);
    std::fclose(f);
    ApiCapture capture(false);  // no file layer: the engine is not up yet
    Database* db = GetDatabase(path.c_str());
    std::remove(path.c_str());
    EXPECT_STREQ(GetNodeValue(FindArray(db, "PARAMETERS"), "APPLICATION", "fps_limit"), "60");
    // A missing file before the engine exists is not reported (no one to see it).
    EXPECT_EQ(GetArrayCount(GetDatabase("no/such/native_file.xml")), 0);
    EXPECT_TRUE(capture.popups().empty());
}

}  // namespace
}  // namespace vz
