// ZT_XMLReader: a forward-only reader for the engine's own XML data files.
//
// The reader loads a whole document and hands out one tag or one run of text
// at a time as a flat record; it builds no tree. It accepts the simple,
// attribute-centred dialect the engine writes: comments, double-quoted values
// with backslash escapes, self-closing tags and free text between tags. It
// knows no entities, CDATA, namespaces, DTDs or byte-order marks; character
// references and non-ASCII bytes pass through untouched.
//
// Reading allocates nothing per token: every token is cut into one fixed
// buffer and every string of the returned record points into it, so the
// record is valid only until the next ReadNext (or Open/Close).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

struct XmlElement {
    static constexpr int MAX_ATTRIBUTES = 128;

    // Element name; null for a run of text, which comes as one attribute
    // named "DATA" holding the text exactly as written (whitespace included,
    // escapes not resolved).
    const char* name;
    // Number of attributes stored (0..MAX_ATTRIBUTES).
    int count;
    const char* names[MAX_ATTRIBUTES];
    const char* values[MAX_ATTRIBUTES];
    // True for an end tag ("</a>") and for a self-closing tag ("<a/>").
    bool closing;
    // True only for a self-closing tag; lets a client tell "<node/>" from
    // "</node>", which `closing` alone cannot.
    bool selfClosing;
};

class ZT_XMLReader {
public:
    // A token holds at most TOKEN_CAPACITY - 1 bytes; longer ones are cut.
    static constexpr size_t TOKEN_CAPACITY = 4096;
    // Parse errors quote at most this many bytes of the document.
    static constexpr size_t EXCERPT_LENGTH = 254;
    // Parse-error popups per document. A damaged or binary file can hold
    // thousands of stray '>' bytes, each a distinct message (line and excerpt
    // differ) and in developer mode a message box; the first few locate the
    // damage, the rest would only bury the developer.
    static constexpr int MAX_REPORTED_ERRORS = 16;

    ZT_XMLReader();
    ~ZT_XMLReader();
    ZT_XMLReader(const ZT_XMLReader&) = delete;
    ZT_XMLReader& operator=(const ZT_XMLReader&) = delete;

    // Reads the whole file. With useNativeFiles the path is an operating-system
    // path read through C stdio (for use before the engine API table exists);
    // otherwise it goes through the engine's file layer. False for an empty
    // path, a file that cannot be read (no message: the caller reports), or a
    // document whose first non-whitespace byte is not '<' (popup).
    bool Open(const char* path, bool useNativeFiles);

    // Same as Open over bytes the caller holds (copied). `name` is used in
    // messages only.
    bool OpenMemory(const char* name, const void* data, size_t size);

    // The next tag or text run, or null at the end of the document or after a
    // malformed attribute list. Valid until the next call.
    XmlElement* ReadNext();

    bool AtEnd() const { return position_ >= length_; }

    // Forgets the document (its name and its text).
    void Close();

    const char* documentName() const { return name_ ? name_ : ""; }
    size_t length() const { return length_; }
    size_t position() const { return position_; }

private:
    bool nextToken();
    void skipComment();
    void parseError(const char* reason, size_t at);
    int lineAt(size_t at);
    bool acceptDocument();
    bool setName(const char* path);
    XmlElement* readTag();
    bool append(char c) {
        if (tokenLength_ + 1 >= TOKEN_CAPACITY) return false;
        token_[tokenLength_++] = c;
        return true;
    }

    char* name_ = nullptr;
    char* text_ = nullptr;
    size_t length_ = 0;
    size_t position_ = 0;
    char* token_ = nullptr;
    size_t tokenLength_ = 0;
    XmlElement element_{};
    // Line counting for error messages resumes from the last counted spot,
    // so many errors in a big file do not rescan it from the start each time.
    size_t linePosition_ = 0;
    int lineCount_ = 0;
    int errorsReported_ = 0;
};

}  // namespace vz
