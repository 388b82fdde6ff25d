#include "data/vudozar_load.h"

#include <cctype>
#include <cstring>

#include "data/data_report.h"
#include "data/xml_reader.h"

namespace vz {
namespace vudozar {

namespace {

// A text run quoted in a message is cut to this many bytes; it is only there
// to let the developer find the spot.
constexpr size_t QUOTED_TEXT_LENGTH = 64;

bool hasXmlEnding(const char* name) {
    const size_t length = std::strlen(name);
    return length > 3 && equalsIgnoringCase(name + length - 4, ".xml");
}

bool isStartTag(const XmlElement& e) {
    return !e.closing || e.selfClosing;
}

bool isEndTag(const XmlElement& e, const char* name) {
    return e.name && e.closing && !e.selfClosing && std::strcmp(e.name, name) == 0;
}

// Value of the element's `id` attribute (any case), the last one when there
// are several; null without one.
const char* idOf(const XmlElement& e) {
    const char* id = nullptr;
    for (int i = 0; i < e.count; ++i) {
        if (e.names[i] && equalsIgnoringCase(e.names[i], "id")) id = e.values[i] ? e.values[i] : "";
    }
    return id;
}

void reportUnexpected(const Database& database, const XmlElement& e) {
    char quoted[QUOTED_TEXT_LENGTH + 1];
    const char* what = e.name;
    if (!what) {
        std::strncpy(quoted, e.count > 0 && e.values[0] ? e.values[0] : "", QUOTED_TEXT_LENGTH);
        quoted[QUOTED_TEXT_LENGTH] = '\0';
        what = quoted;
    }
    data::reportPopup(1,
                      "Vudozar: in '%s' is expecting to find two three types of elements inside "
                      "root: 'array' and 'node'. '%s' is not one of them.",
                      database.fileName(), what);
}

void addNode(Database& database, Array& array, const XmlElement& e) {
    array.nodes.emplace_back();
    Node& node = array.nodes.back();
    node.pairs.reserve(static_cast<size_t>(e.count));
    for (int i = 0; i < e.count; ++i) {
        const char* key = database.keep(e.names[i]);
        const char* value = database.keep(e.values[i]);
        node.pairs.push_back(Pair{key, value});
        if (equalsIgnoringCase(key, "id")) node.id = value;
    }
}

}  // namespace

bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

bool readArrays(Database& database, ZT_XMLReader& reader) {
    // The XML declaration and the root's start tag, unseen. A file without
    // the declaration therefore loses its first array.
    reader.ReadNext();
    reader.ReadNext();

    std::vector<Array>& arrays = database.buildArrays();
    int totalNodes = 0;
    bool intact = true;
    // An element read ahead (after a node, or a new array before the end tag
    // of the current one) waits here for the next round.
    XmlElement* held = nullptr;

    while (intact) {
        XmlElement* e = held ? held : reader.ReadNext();
        held = nullptr;
        if (!e) {
            if (reader.AtEnd()) break;
            continue;  // a malformed tag was dropped; the stream goes on
        }
        if (!e->name || !isStartTag(*e) || !equalsIgnoringCase(e->name, "array")) continue;

        arrays.emplace_back();
        Array& array = arrays.back();
        if (const char* id = idOf(*e)) array.id = database.keep(id);
        if (e->selfClosing) continue;  // "<array id='x'/>": an empty array

        for (;;) {
            XmlElement* b = held ? held : reader.ReadNext();
            held = nullptr;
            if (!b) {
                if (reader.AtEnd()) break;
                continue;
            }
            if (!b->name) {
                reportUnexpected(database, *b);
                continue;
            }
            if (equalsIgnoringCase(b->name, "array")) {
                // Its end tag ends the array; a new array's start tag ends it
                // too (the end tag was forgotten) and is handed to the top level.
                if (isStartTag(*b)) held = b;
                break;
            }
            if (std::strcmp(b->name, "node") != 0) {
                reportUnexpected(database, *b);
                continue;
            }
            if (!isStartTag(*b)) continue;  // "</node>"

            addNode(database, array, *b);
            ++totalNodes;
            if (b->selfClosing) continue;  // all its data is in the attributes

            XmlElement* body = reader.ReadNext();
            if (!body) {
                const Node& node = array.nodes.back();
                data::reportPopup(1, "Vudozar error parsing file '%s' after node #%d with id '%s'.",
                                  database.fileName(), totalNodes, node.id ? node.id : "");
                intact = false;
                break;
            }
            if (body->name) {
                held = body;  // no text body: the next element is read normally
                continue;
            }
            Node& node = array.nodes.back();
            node.pairs.push_back(Pair{database.keep("DATA"), database.keep(body->values[0])});
            XmlElement* after = reader.ReadNext();
            if (after && !isEndTag(*after, "node")) held = after;
        }
    }

    data::reportPrint("%d Arrays loaded with total %d nodes.", static_cast<int>(arrays.size()),
                      totalNodes);
    return intact;
}

void loadDatabaseFile(Database& database) {
    const char* name = database.fileName();
    if (!hasXmlEnding(name)) {
        data::reportPopup(1, "Unknown database file type '%s'.\nSupported formats are: .xml", name);
        return;
    }
    ZT_XMLReader reader;
    // Before the engine API table exists (the earliest start-up steps) only
    // the operating system's files can be read.
    const bool apiReady = data::engineApiReady();
    if (!reader.Open(name, !apiReady)) {
        if (apiReady) data::reportPopup(1, "ZT_XML Array File '%s' not found!", name);
        return;
    }
    readArrays(database, reader);
    reader.Close();
}

std::unique_ptr<Database> LoadDatabaseFromMemory(const char* name, const void* data, size_t size) {
    std::unique_ptr<Database> database(new Database(name));
    ZT_XMLReader reader;
    if (reader.OpenMemory(database->fileName(), data, size)) readArrays(*database, reader);
    return database;
}

}  // namespace vudozar
}  // namespace vz
