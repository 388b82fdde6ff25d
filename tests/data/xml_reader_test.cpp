#include "data/xml_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "api_capture.h"

namespace vz {
namespace {

using testing::ApiCapture;

// A record copied out of the reader, so a whole stream can be compared.
struct Element {
    bool text = false;
    std::string name;
    bool closing = false;
    bool selfClosing = false;
    std::vector<std::pair<std::string, std::string>> attributes;
};

std::vector<Element> readAll(ZT_XMLReader& reader, size_t limit = 1000000) {
    std::vector<Element> out;
    while (!reader.AtEnd() && out.size() < limit) {
        const XmlElement* e = reader.ReadNext();
        if (!e) continue;
        Element copy;
        copy.text = e->name == nullptr;
        copy.name = e->name ? e->name : "";
        copy.closing = e->closing;
        copy.selfClosing = e->selfClosing;
        for (int i = 0; i < e->count; ++i) copy.attributes.emplace_back(e->names[i], e->values[i]);
        out.push_back(copy);
    }
    return out;
}

std::vector<Element> parse(const std::string& document, const char* name = "test.xml") {
    ZT_XMLReader reader;
    EXPECT_TRUE(reader.OpenMemory(name, document.data(), document.size()));
    return readAll(reader);
}

std::string parseErrorText(const char* reason, int line, const char* doc, char byte,
                           const std::string& excerpt) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "Parsing error (%s) around line %d in ZT_XML '%s'. Unexpected character '%c' "
                  "(%x) at:\n'%s'\n",
                  reason, line, doc, byte, static_cast<unsigned>(static_cast<unsigned char>(byte)),
                  excerpt.c_str());
    return text;
}

TEST(XmlReader, AttributesQuotingAndClosing) {
    ApiCapture capture;
    // Spaces around '=', a quoted value holding a space, a space before "/>".
    auto e = parse("<a x = \"1 2\" />");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].name, "a");
    ASSERT_EQ(e[0].attributes.size(), 1u);
    EXPECT_EQ(e[0].attributes[0].first, "x");
    EXPECT_EQ(e[0].attributes[0].second, "1 2");
    EXPECT_TRUE(e[0].closing);
    EXPECT_TRUE(e[0].selfClosing);

    // An unquoted value directly followed by "/>" ends before the slash.
    e = parse("<b v=12/>");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(e[0].attributes.size(), 1u);
    EXPECT_EQ(e[0].attributes[0].second, "12");
    EXPECT_TRUE(e[0].closing);

    // Escapes: \" \n \t \\ resolve; an unknown escape drops both bytes.
    e = parse("<c v=\"say \\\"hi\\\"\\n\" w=\"a\\tb\\\\c\\qd\"/>");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(e[0].attributes.size(), 2u);
    EXPECT_EQ(e[0].attributes[0].second, "say \"hi\"\n");
    EXPECT_EQ(e[0].attributes[1].second, "a\tb\\cd");

    // An escaped backslash before the closing quote ends the value; the
    // following attribute is still seen.
    e = parse("<d v=\"x\\\\\" w=\"2\">");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(e[0].attributes.size(), 2u);
    EXPECT_EQ(e[0].attributes[0].second, "x\\");
    EXPECT_EQ(e[0].attributes[1].second, "2");
    EXPECT_FALSE(e[0].closing);

    // Whitespace of any kind inside a tag collapses; end tags set closing only.
    e = parse("<e\n\t k1=\"1\"\r\n\tk2=2\n>text</e >");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "e");
    ASSERT_EQ(e[0].attributes.size(), 2u);
    EXPECT_EQ(e[0].attributes[1].first, "k2");
    EXPECT_EQ(e[0].attributes[1].second, "2");
    EXPECT_TRUE(e[1].text);
    EXPECT_EQ(e[2].name, "e");
    EXPECT_TRUE(e[2].closing);
    EXPECT_FALSE(e[2].selfClosing);

    // A quoted value may hold '<', '>' and '/'; an empty value is kept.
    e = parse("<f v=\"<a/>\" w=\"\"/>");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(e[0].attributes.size(), 2u);
    EXPECT_EQ(e[0].attributes[0].second, "<a/>");
    EXPECT_EQ(e[0].attributes[1].second, "");
    EXPECT_TRUE(e[0].selfClosing);

    // The last tag of a document keeps its attributes.
    e = parse("<g id=\"last\"/>");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(e[0].attributes.size(), 1u);
    EXPECT_EQ(e[0].attributes[0].second, "last");
    EXPECT_TRUE(capture.messages.empty());
}

TEST(XmlReader, TextRunsAndComments) {
    ApiCapture capture;
    auto e = parse("<a>  some text  </a>\n  \t\n<b/>");
    ASSERT_EQ(e.size(), 4u);
    EXPECT_TRUE(e[1].text);
    ASSERT_EQ(e[1].attributes.size(), 1u);
    EXPECT_EQ(e[1].attributes[0].first, "DATA");
    EXPECT_EQ(e[1].attributes[0].second, "  some text  ");
    EXPECT_EQ(e[3].name, "b");

    // Text is returned as written: no unescaping, quoted '<' '>' kept.
    e = parse("<a>x \\n \"<y>\" z</a>");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].attributes[0].second, "x \\n \"<y>\" z");

    // A comment followed by a self-closing tag gives only the tag; a comment
    // inside a tag vanishes; text after a comment stays text.
    e = parse("<!-- note <b> -- -->\n<b/><c <!-- x --> k=\"1\"/><!--c-->after<d/>");
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].name, "b");
    EXPECT_EQ(e[1].name, "c");
    ASSERT_EQ(e[1].attributes.size(), 1u);
    EXPECT_EQ(e[1].attributes[0].second, "1");
    EXPECT_TRUE(e[2].text);
    EXPECT_EQ(e[2].attributes[0].second, "after");
    EXPECT_EQ(e[3].name, "d");

    // Text after the last tag is lost; a whitespace-only document is empty.
    e = parse("<a/>trailing");
    EXPECT_EQ(e.size(), 1u);
    e = parse(" \r\n\t ");
    EXPECT_TRUE(e.empty());
    e = parse("");
    EXPECT_TRUE(e.empty());
    EXPECT_TRUE(capture.messages.empty());
}

TEST(XmlReader, ParseErrorsCarryLineAndExcerpt) {
    ApiCapture capture;
    auto e = parse("<a>\n\nx > y</a>\n<<b/>\n<>", "doc.xml");
    ASSERT_EQ(capture.popups().size(), 3u);
    EXPECT_EQ(capture.popups()[0], parseErrorText("not expecting '>'", 2, "doc.xml", '>', "> y</a>\n<<b/>\n<>"));
    EXPECT_EQ(capture.popups()[1], parseErrorText("not expecting another '<'", 3, "doc.xml", '<', "<b/>\n<>"));
    EXPECT_EQ(capture.popups()[2], parseErrorText("not expecting '<' yet", 4, "doc.xml", '>', ">"));
    for (const auto& m : capture.messages) EXPECT_EQ(m.level, 1);
    // Parsing goes on: the text keeps its '>' and both tags still come out.
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[1].attributes[0].second, "\n\nx > y");
    EXPECT_EQ(e[3].name, "<b");
    EXPECT_EQ(e[4].name, "");

    // The excerpt is cut at 254 bytes; control bytes are not printed raw.
    capture.messages.clear();
    std::string longTail = "<a>>" + std::string(1000, 'z') + "<b/>";
    parse(longTail, "doc.xml");
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_EQ(capture.popups()[0],
              parseErrorText("not expecting '>'", 0, "doc.xml", '>', ">" + std::string(253, 'z')));
    capture.messages.clear();
    parse("<a>" + std::string(ZT_XMLReader::TOKEN_CAPACITY - 1, 'a') + "\x01</a>", "doc.xml");
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_NE(capture.popups()[0].find("(buffer overrun) around line 0 in ZT_XML 'doc.xml'. "
                                       "Unexpected character '?' (1) at:\n'\x01</a>'"),
              std::string::npos);

    // A stream of damage reports only the first few errors.
    capture.messages.clear();
    parse("<a>" + std::string(500, '>') + "</a>");
    EXPECT_EQ(capture.popups().size(), static_cast<size_t>(ZT_XMLReader::MAX_REPORTED_ERRORS));
}

TEST(XmlReader, MissingEqualsEndsTheElementWithError1) {
    ApiCapture capture;
    const std::string doc = "<a x=\"1\" flag>\n<b/>";
    ZT_XMLReader reader;
    ASSERT_TRUE(reader.OpenMemory("e.xml", doc.data(), doc.size()));
    EXPECT_EQ(reader.ReadNext(), nullptr);
    ASSERT_EQ(capture.prints().size(), 1u);
    EXPECT_EQ(capture.prints()[0], "ZT_XMLReader Parsing Error1 at 14/19\n");
    // The stream goes on after the broken tag.
    const XmlElement* next = reader.ReadNext();
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next->name, "b");
}

TEST(XmlReader, AttributeLimit) {
    ApiCapture capture;
    std::string doc = "<many";
    for (int i = 0; i < 130; ++i) doc += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    doc += "/><after/>";
    auto e = parse(doc, "lim.xml");
    ASSERT_EQ(e.size(), 2u);
    ASSERT_EQ(e[0].attributes.size(), 128u);
    EXPECT_EQ(e[0].attributes[127].first, "a127");
    EXPECT_EQ(e[0].attributes[127].second, "127");
    EXPECT_TRUE(e[0].selfClosing);
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_EQ(capture.popups()[0], "Too many blocks (128 limit) in object 'many' in xml 'lim.xml'.\n");

    // Exactly 128 loses nothing and says nothing.
    capture.messages.clear();
    doc = "<full";
    for (int i = 0; i < 128; ++i) doc += " a" + std::to_string(i) + "=1";
    e = parse(doc + ">");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].attributes.size(), 128u);
    EXPECT_TRUE(capture.messages.empty());
}

TEST(XmlReader, OverlongTokensAreCutNotOverflowed) {
    ApiCapture capture;
    const size_t max = ZT_XMLReader::TOKEN_CAPACITY - 1;
    // Text: cut at the limit, one report per token.
    auto e = parse("<a>" + std::string(10000, 't') + "</a><b>" + std::string(5000, 'u') + "</b>");
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[1].attributes[0].second.size(), max);
    EXPECT_EQ(e[4].attributes[0].second.size(), max);
    EXPECT_EQ(capture.countContaining("buffer overrun"), 2u);

    // A huge attribute value: cut silently, the tag still ends at its '>'.
    capture.messages.clear();
    e = parse("<a v=\"" + std::string(20000, 'v') + "\" w=\"2\"/><next/>");
    ASSERT_EQ(e.size(), 2u);
    ASSERT_GE(e[0].attributes.size(), 1u);
    EXPECT_EQ(e[0].attributes[0].second, std::string(max - 6, 'v'));
    EXPECT_EQ(e[1].name, "next");

    // A huge name and a huge unquoted value.
    e = parse("<" + std::string(9000, 'n') + "/><x v=" + std::string(9000, '1') + "/><y/>");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name.size(), max - 1);
    EXPECT_EQ(e[1].attributes[0].second.size(), max - 5);
    EXPECT_EQ(e[2].name, "y");
    EXPECT_TRUE(capture.messages.empty());
}

TEST(XmlReader, UnterminatedConstructsAtTheEnd) {
    ApiCapture capture;
    // Comment left open: reported at its start, the document ends.
    auto e = parse("<a/>\n<!-- open <b/>", "c.xml");
    ASSERT_EQ(e.size(), 1u);
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_EQ(capture.popups()[0],
              parseErrorText("Comment block not ended properly.", 1, "c.xml", '<', "<!-- open <b/>"));

    // A comment start inside a comment is reported; the outer one still ends.
    capture.messages.clear();
    e = parse("<!-- a <!-- b --><c/>", "n.xml");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].name, "c");
    EXPECT_EQ(capture.countContaining("New comment block start within a comment block."), 1u);

    // Quote, tag and attribute left open: no element, no crash.
    for (const char* doc : {"<a/><b v=\"open", "<a/><b", "<a/><b v=", "<a/>x \"y", "<a/><", "<a/><!-", "<a/><!--"}) {
        ZT_XMLReader reader;
        ASSERT_TRUE(reader.OpenMemory("u.xml", doc, std::strlen(doc)));
        EXPECT_NE(reader.ReadNext(), nullptr) << doc;
        EXPECT_EQ(reader.ReadNext(), nullptr) << doc;
        EXPECT_TRUE(reader.AtEnd()) << doc;
        EXPECT_EQ(reader.ReadNext(), nullptr) << doc;
    }
}

TEST(XmlReader, HostileDocuments) {
    ApiCapture capture;
    // 100,000 nested elements: a flat reader neither recurses nor grows.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    for (int i = 0; i < 100000; ++i) deep += "</a>";
    EXPECT_EQ(parse(deep).size(), 200000u);

    // Character references and non-ASCII bytes pass through untouched, even
    // invalid UTF-8 (overlong, surrogate, truncated) and NUL references.
    const std::string odd = "&#0; &#xD800; &#x110000; \xC0\xAF \xED\xA0\x80 \xE2\x82";
    auto e = parse("<a v=\"" + odd + "\">" + odd + "</a>");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].attributes[0].second, odd);
    EXPECT_EQ(e[1].attributes[0].second, odd);

    // An embedded NUL cuts the value at the C-string level but not the stream.
    const std::string withNul("<a v=\"x\0y\"/><b/>", 16);
    e = parse(withNul);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].attributes[0].second, "x");
    EXPECT_EQ(e[1].name, "b");

    // Binary garbage after a '<': must end without fault (ASan watches reads).
    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        std::string junk = "<";
        const size_t size = random() % 3000;
        for (size_t i = 0; i < size; ++i) {
            const char pick[] = {'<', '>', '"', '\\', '/', '=', ' ', '-', '!', '\n', 'a', '\0'};
            junk += random() % 2 ? pick[random() % sizeof pick] : static_cast<char>(random());
        }
        ZT_XMLReader reader;
        ASSERT_TRUE(reader.OpenMemory("junk.xml", junk.data(), junk.size()));
        size_t guard = 0;
        while (!reader.AtEnd() && guard++ < junk.size() + 2) {
            if (const XmlElement* x = reader.ReadNext()) {
                ASSERT_LE(x->count, XmlElement::MAX_ATTRIBUTES);
                for (int i = 0; i < x->count; ++i) ASSERT_LT(std::strlen(x->values[i]), ZT_XMLReader::TOKEN_CAPACITY);
            }
        }
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(XmlReader, OpenRejectsWhatIsNotXml) {
    ApiCapture capture;
    ZT_XMLReader reader;
    const char bom[] = "\xEF\xBB\xBF<a/>";
    EXPECT_FALSE(reader.OpenMemory("bom.xml", bom, sizeof bom - 1));
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_EQ(capture.popups()[0],
              "First non-whitespace char in XML document needs to be '<'. First char in 'bom.xml' is "
              "#239 '\xEF'. Note: UTF8 BOM is not supported.\n");
    EXPECT_EQ(reader.ReadNext(), nullptr);
    EXPECT_TRUE(reader.AtEnd());

    capture.messages.clear();
    EXPECT_FALSE(reader.OpenMemory("t.xml", "  hello", 7));
    ASSERT_EQ(capture.popups().size(), 1u);
    EXPECT_NE(capture.popups()[0].find("is #104 'h'"), std::string::npos);

    // Empty and missing paths fail without a message (the caller reports).
    capture.messages.clear();
    EXPECT_FALSE(reader.Open("", false));
    EXPECT_FALSE(reader.Open(nullptr, true));
    EXPECT_FALSE(reader.Open("res://missing.xml", false));
    EXPECT_FALSE(reader.Open("surely/not/here.xml", true));
    EXPECT_TRUE(capture.messages.empty());
}

TEST(XmlReader, OpensThroughFileLayerAndNativeFiles) {
    const std::string doc = "<?xml version=\"1.0\"?>\n<root><a k=\"v\"/></root>";
    {
        ApiCapture capture;
        capture.addFile("res://data.xml", doc);
        ZT_XMLReader reader;
        ASSERT_TRUE(reader.Open("res://data.xml", false));
        EXPECT_EQ(capture.openModes, std::vector<std::string>{"rb"});
        EXPECT_EQ(capture.openCount, 0);  // closed right after reading
        EXPECT_STREQ(reader.documentName(), "res://data.xml");
        auto e = readAll(reader);
        ASSERT_EQ(e.size(), 4u);
        EXPECT_EQ(e[2].attributes[0].second, "v");
    }
    // Native files: an operating-system path read with C stdio, also when the
    // engine's file layer exists.
    const std::string path = ::testing::TempDir() + "vozer_xml_native.xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(doc.data(), 1, doc.size(), f);
    std::fclose(f);
    ApiCapture capture;
    ZT_XMLReader reader;
    ASSERT_TRUE(reader.Open(path.c_str(), true));
    EXPECT_TRUE(capture.openModes.empty());
    EXPECT_EQ(reader.length(), doc.size());
    EXPECT_EQ(readAll(reader).size(), 4u);
    std::remove(path.c_str());
}

TEST(XmlReader, MessagesGoToStandardOutputWithoutEngine) {
    VozerEngineApi saved;
    std::memcpy(&saved, api(), sizeof saved);
    std::memset(api(), 0, sizeof saved);
    ::testing::internal::CaptureStdout();
    ZT_XMLReader reader;
    EXPECT_FALSE(reader.OpenMemory("bom.xml", "\xEF\xBB\xBF", 3));
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::memcpy(api(), &saved, sizeof saved);
    EXPECT_NE(out.find("First non-whitespace char in XML document needs to be '<'."), std::string::npos);
}

}  // namespace
}  // namespace vz
