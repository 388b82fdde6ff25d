#include "data/xml_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "api/engine_api.h"
#include "data/data_report.h"

namespace vz {

namespace {

// Whole documents are addressed with 32-bit positions in messages and by the
// engine's file layer; anything larger is refused rather than mis-reported.
constexpr size_t MAX_DOCUMENT_SIZE = 0x7FFFFFFF;

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A double quote is escaped when an odd number of backslashes stand right
// before it: `\"` stays inside the quote, `\\"` ends it, `\\\"` does not.
bool isEscapedQuote(const char* begin, const char* quote) {
    size_t backslashes = 0;
    while (quote > begin && quote[-1] == '\\') {
        --quote;
        ++backslashes;
    }
    return (backslashes & 1) != 0;
}

// Resolves the backslash escapes of a value in place. An unknown escape
// drops both bytes, as the engine's writers never produce one on purpose.
void unescapeInPlace(char* value) {
    char* read = value;
    char* write = value;
    while (*read) {
        if (*read != '\\') {
            *write++ = *read++;
            continue;
        }
        const char next = read[1];
        if (next == '\0') break;  // a lone trailing backslash escapes nothing
        switch (next) {
            case 'n': *write++ = '\n'; break;
            case 'r': *write++ = '\r'; break;
            case 't': *write++ = '\t'; break;
            case '"': *write++ = '"'; break;
            case '\\': *write++ = '\\'; break;
            default: break;
        }
        read += 2;
    }
    *write = '\0';
}

// Reads an operating-system file whole. Used before the engine's file layer
// exists, so it only needs C stdio; reads until end of file rather than
// trusting a measured size.
char* readNativeFile(const char* path, size_t* length) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    size_t capacity = 64 * 1024;
    size_t used = 0;
    char* data = static_cast<char*>(std::malloc(capacity + 1));
    while (data) {
        const size_t got = std::fread(data + used, 1, capacity - used, file);
        used += got;
        if (got == 0 || std::ferror(file) || std::feof(file)) break;
        if (used == capacity) {
            if (capacity >= MAX_DOCUMENT_SIZE) {
                std::free(data);
                data = nullptr;
                break;
            }
            size_t grown = capacity * 2;
            if (grown > MAX_DOCUMENT_SIZE) grown = MAX_DOCUMENT_SIZE;
            char* bigger = static_cast<char*>(std::realloc(data, grown + 1));
            if (!bigger) {
                std::free(data);
                data = nullptr;
                break;
            }
            data = bigger;
            capacity = grown;
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (!data || failed) {
        std::free(data);
        return nullptr;
    }
    data[used] = '\0';
    *length = used;
    return data;
}

// Reads a file whole through the engine's file layer (search paths, paks):
// measure, then one read of that size.
char* readEngineFile(const char* path, size_t* length) {
    VozerEngineApi* table = api();
    VozerFile* file = table->OpenFile(path, "rb");
    if (!file) return nullptr;
    char* data = nullptr;
    int32_t size = -1;
    if (table->SeekFile(file, 0, 2)) size = table->TellFile(file);
    if (size >= 0 && table->SeekFile(file, 0, 0)) {
        data = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
        if (data) {
            const int32_t got = size > 0 ? table->ReadFile(data, size, file) : 0;
            if (got < 0) {
                std::free(data);
                data = nullptr;
            } else {
                // A short read keeps what arrived: the document simply ends there.
                data[got] = '\0';
                *length = static_cast<size_t>(got);
            }
        }
    }
    table->CloseFile(file);
    return data;
}

}  // namespace

ZT_XMLReader::ZT_XMLReader() {
    token_ = new (std::nothrow) char[TOKEN_CAPACITY];
    if (token_) token_[0] = '\0';
}

ZT_XMLReader::~ZT_XMLReader() {
    Close();
    delete[] token_;
}

void ZT_XMLReader::Close() {
    std::free(name_);
    name_ = nullptr;
    std::free(text_);
    text_ = nullptr;
    length_ = 0;
    position_ = 0;
    tokenLength_ = 0;
    linePosition_ = 0;
    lineCount_ = 0;
    errorsReported_ = 0;
}

bool ZT_XMLReader::setName(const char* path) {
    const size_t size = std::strlen(path) + 1;
    name_ = static_cast<char*>(std::malloc(size));
    if (!name_) return false;
    std::memcpy(name_, path, size);
    return true;
}

bool ZT_XMLReader::Open(const char* path, bool useNativeFiles) {
    Close();
    if (!path || !*path) return false;
    if (!setName(path)) return false;
    size_t length = 0;
    text_ = useNativeFiles || !data::engineApiReady() ? readNativeFile(path, &length)
                                                      : readEngineFile(path, &length);
    if (!text_) return false;
    length_ = length;
    return acceptDocument();
}

bool ZT_XMLReader::OpenMemory(const char* name, const void* data, size_t size) {
    Close();
    if (!setName(name ? name : "")) return false;
    if (size > MAX_DOCUMENT_SIZE || (size > 0 && !data)) return false;
    text_ = static_cast<char*>(std::malloc(size + 1));
    if (!text_) return false;
    if (size > 0) std::memcpy(text_, data, size);
    text_[size] = '\0';
    length_ = size;
    return acceptDocument();
}

bool ZT_XMLReader::acceptDocument() {
    position_ = 0;
    size_t first = 0;
    while (first < length_ && isXmlSpace(text_[first])) ++first;
    if (first == length_ || text_[first] == '<') return true;
    const int byte = static_cast<unsigned char>(text_[first]);
    data::reportPopup(1,
                      "First non-whitespace char in XML document needs to be '<'. First char in "
                      "'%s' is #%d '%c'. Note: UTF8 BOM is not supported.\n",
                      documentName(), byte, byte);
    std::free(text_);
    text_ = nullptr;
    length_ = 0;
    return false;
}

int ZT_XMLReader::lineAt(size_t at) {
    if (at > length_) at = length_;
    if (at < linePosition_) {
        linePosition_ = 0;
        lineCount_ = 0;
    }
    const char* cursor = text_ + linePosition_;
    const char* stop = text_ + at;
    while (cursor < stop) {
        const void* lf = std::memchr(cursor, '\n', static_cast<size_t>(stop - cursor));
        if (!lf) break;
        ++lineCount_;
        cursor = static_cast<const char*>(lf) + 1;
    }
    linePosition_ = at;
    return lineCount_;
}

void ZT_XMLReader::parseError(const char* reason, size_t at) {
    if (errorsReported_ >= MAX_REPORTED_ERRORS) return;
    ++errorsReported_;
    if (at > length_) at = length_;
    const int byte = at < length_ ? static_cast<unsigned char>(text_[at]) : 0;
    // The byte is shown as a character only when that cannot break the
    // message (a NUL would end it, a line feed would split it); the hex
    // value is always exact.
    const int shown = (byte < 0x20 || byte == 0x7F) ? '?' : byte;
    char excerpt[EXCERPT_LENGTH + 1];
    size_t count = length_ - at;
    if (count > EXCERPT_LENGTH) count = EXCERPT_LENGTH;
    std::memcpy(excerpt, text_ + at, count);
    excerpt[count] = '\0';
    data::reportPopup(1,
                      "Parsing error (%s) around line %d in ZT_XML '%s'. Unexpected character "
                      "'%c' (%x) at:\n'%s'\n",
                      reason, lineAt(at), documentName(), shown, static_cast<unsigned>(byte),
                      excerpt);
}

void ZT_XMLReader::skipComment() {
    const size_t start = position_ >= 4 ? position_ - 4 : 0;  // the '<' of "<!--"
    char before2 = 0;
    char before1 = 0;
    while (position_ < length_) {
        const size_t at = position_;
        const char c = text_[position_++];
        if (before2 == '-' && before1 == '-' && c == '>') return;
        if (before2 == '<' && before1 == '!' && c == '-')
            parseError("New comment block start within a comment block.", at - 2);
        before2 = before1;
        before1 = c;
    }
    // Reported at the comment's start: that is where the damage is, while the
    // end of the document says nothing.
    parseError("Comment block not ended properly.", start);
    position_ = length_;
}

bool ZT_XMLReader::nextToken() {
    tokenLength_ = 0;
    bool inQuote = false;
    bool inTag = false;
    bool overrunReported = false;
    while (position_ < length_) {
        const size_t at = position_;
        char c = text_[position_++];

        if (inQuote) {
            const bool ends = c == '"' && !isEscapedQuote(token_, token_ + tokenLength_);
            append(c);
            if (ends) inQuote = false;
            continue;
        }
        if (c == '"') {
            append(c);
            inQuote = true;
            continue;
        }

        if (inTag) {
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
            if (c == ' ') {
                if (tokenLength_ == 0) continue;
                const char last = token_[tokenLength_ - 1];
                if (last == ' ' || last == '<' || last == '=') continue;
                append(c);
                continue;
            }
            const bool justOpened = tokenLength_ == 1 && token_[0] == '<';
            if (c == '<' && justOpened) parseError("not expecting another '<'", at);
            if (c == '>') {
                if (justOpened) parseError("not expecting '<' yet", at);
                if (tokenLength_ >= 2 && token_[tokenLength_ - 2] == ' ' &&
                    token_[tokenLength_ - 1] == '/') {
                    token_[tokenLength_ - 2] = '/';
                    token_[tokenLength_ - 1] = '>';
                } else if (tokenLength_ >= 1 && token_[tokenLength_ - 1] == ' ') {
                    token_[tokenLength_ - 1] = '>';
                } else {
                    append(c);  // a full buffer still ends the tag here
                }
                token_[tokenLength_] = '\0';
                return true;
            }
            if (c == '=' && tokenLength_ > 0 && token_[tokenLength_ - 1] == ' ') --tokenLength_;
            if (append(c) && c == '-' && tokenLength_ >= 4 &&
                std::memcmp(token_ + tokenLength_ - 4, "<!--", 4) == 0) {
                skipComment();
                tokenLength_ -= 4;
                // A comment that made up the whole tag leaves us between tags:
                // what follows is text again, not the inside of a tag.
                if (tokenLength_ == 0) inTag = false;
            }
            continue;
        }

        // Text between tags.
        if (c == '>') parseError("not expecting '>'", at);
        if (c != '<') {
            if (!append(c) && !overrunReported) {
                // Once per token: every further byte of a long text would
                // otherwise raise its own message.
                parseError("buffer overrun", at);
                overrunReported = true;
            }
            continue;
        }
        bool blank = true;
        for (size_t i = 0; i < tokenLength_ && blank; ++i) blank = isXmlSpace(token_[i]);
        if (blank) {
            tokenLength_ = 0;
            append('<');
            inTag = true;
            continue;
        }
        position_ = at;  // the '<' starts the next token
        token_[tokenLength_] = '\0';
        return true;
    }
    // The document ended inside a token: there is nothing complete to return.
    tokenLength_ = 0;
    token_[0] = '\0';
    return false;
}

XmlElement* ZT_XMLReader::ReadNext() {
    if (!token_) {
        position_ = length_;  // without a token buffer nothing more can be read
        return nullptr;
    }
    if (!text_ || AtEnd()) return nullptr;
    if (!nextToken()) return nullptr;
    XmlElement& e = element_;
    e.name = nullptr;
    e.count = 0;
    e.closing = false;
    e.selfClosing = false;
    if (token_[0] != '<') {
        e.names[0] = "DATA";
        e.values[0] = token_;
        e.count = 1;
        return &e;
    }
    return readTag();
}

XmlElement* ZT_XMLReader::readTag() {
    XmlElement& e = element_;
    char* p = token_ + 1;
    char* const end = token_ + tokenLength_;  // *end is the token's NUL
    if (p < end && *p == '/') {
        e.closing = true;
        ++p;
    }
    e.name = p;
    while (p < end && *p != ' ' && *p != '>') ++p;
    if (p >= end) return &e;  // a tag cut short by the token limit
    if (*p == '>') {
        if (p > e.name && p[-1] == '/') {
            p[-1] = '\0';
            e.selfClosing = !e.closing;
            e.closing = true;
        }
        *p = '\0';
        return &e;
    }
    *p++ = '\0';

    bool limitReported = false;
    for (;;) {
        // The tokeniser collapses spaces, but a space before "/>" written as
        // "/ >" or a value cut by the token limit can still leave some here.
        while (p < end && *p == ' ') ++p;
        if (p >= end || *p == '>') return &e;
        if (*p == '/' && p + 1 < end && p[1] == '>') {
            e.selfClosing = !e.closing;
            e.closing = true;
            return &e;
        }

        char* const attributeName = p;
        char* const equals = static_cast<char*>(std::memchr(p, '=', static_cast<size_t>(end - p)));
        if (!equals) {
            data::reportPrint("ZT_XMLReader Parsing Error1 at %d/%d\n", static_cast<int>(position_),
                              static_cast<int>(length_));
            return nullptr;
        }
        *equals = '\0';
        p = equals + 1;

        const bool quoted = p < end && *p == '"';
        if (quoted) ++p;
        char* const value = p;
        char* valueEnd = nullptr;
        bool inQuote = quoted;
        while (p < end) {
            const char c = *p;
            if (inQuote) {
                if (c == '"' && !isEscapedQuote(value, p)) {
                    inQuote = false;
                    if (quoted && !valueEnd) valueEnd = p;  // the closing quote is cut off
                }
                ++p;
                continue;
            }
            if (c == '"') {
                inQuote = true;
            } else if (c == ' ' || c == '>') {
                break;
            }
            ++p;
        }
        const char terminator = p < end ? *p : '\0';
        const bool selfClose = terminator == '>' && p > value && p[-1] == '/';
        if (!valueEnd) valueEnd = p;
        if (selfClose && valueEnd > p - 1) valueEnd = p - 1;
        *valueEnd = '\0';
        unescapeInPlace(value);

        if (e.count < XmlElement::MAX_ATTRIBUTES) {
            e.names[e.count] = attributeName;
            e.values[e.count] = value;
            ++e.count;
        } else if (!limitReported) {
            limitReported = true;
            data::reportPopup(1, "Too many blocks (%d limit) in object '%s' in xml '%s'.\n",
                              XmlElement::MAX_ATTRIBUTES, e.name, documentName());
        }

        if (selfClose) {
            e.selfClosing = !e.closing;
            e.closing = true;
            return &e;
        }
        if (terminator != ' ') return &e;  // '>' or the end of the token
        ++p;
    }
}

}  // namespace vz
