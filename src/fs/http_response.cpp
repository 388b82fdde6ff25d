// What the HTTP client reads from outside: URLs given by the Program or by a
// server's Location, and response heads. Pure functions over text, so the
// fuzzer drives exactly what a server's bytes reach.
#include <cstring>

#include "fs/http_client.h"

namespace vz::fs {

namespace {

bool startsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char a = *text, b = *prefix;
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '.' || c == '-' || c == '_';
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmed(const std::string& text) {
    size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return std::string();
    size_t to = text.find_last_not_of(" \t");
    return text.substr(from, to - from + 1);
}

// "HTTP/1.0 200 OK", "HTTP/1.1 404": version digits, one or more spaces, three
// digits, then the end or a space and any reason.
bool parseStatusLine(const std::string& line, int& status) {
    if (line.compare(0, 5, "HTTP/") != 0) return false;
    size_t i = 5;
    auto digits = [&](size_t most) {
        size_t start = i;
        while (i < line.size() && isDigit(line[i]) && i - start < most) ++i;
        return i > start;
    };
    if (!digits(3) || i >= line.size() || line[i] != '.') return false;
    ++i;
    if (!digits(3) || i >= line.size() || line[i] != ' ') return false;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i + 3 > line.size() || !isDigit(line[i]) || !isDigit(line[i + 1]) || !isDigit(line[i + 2])) return false;
    status = (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
    i += 3;
    if (i < line.size() && line[i] != ' ') return false;
    return status >= 100 && status <= 599;
}

}  // namespace

HttpLimits& httpLimits() {
    static HttpLimits limits;
    return limits;
}

bool parseHttpUrl(const char* url, HttpUrl& out, std::string& why) {
    out = HttpUrl{};
    if (!url) {
        why = "no URL";
        return false;
    }
    if (startsWithNoCase(url, "https://")) {
        why = "HTTPS is not supported; only http:// URLs can be fetched";
        return false;
    }
    if (std::strncmp(url, "http://", 7) != 0) {
        why = "only http:// URLs can be fetched";
        return false;
    }
    // Every byte goes into the request line or the Host line as it is, so
    // nothing may end a line or a field early.
    for (const char* c = url; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u < 0x20 || u == 0x7f) {
            why = "the URL holds a control character";
            return false;
        }
        if (u == ' ') {
            why = "the URL holds a space (write it as %20)";
            return false;
        }
    }
    const char* host = url + 7;
    const char* slash = std::strchr(host, '/');
    std::string authority = slash ? std::string(host, static_cast<size_t>(slash - host)) : std::string(host);
    size_t colon = authority.find(':');
    out.host = authority.substr(0, colon);
    if (out.host.empty()) {
        why = "the URL has no host";
        return false;
    }
    if (out.host.size() > MAX_HOST_LENGTH) {
        why = "the host name is longer than 255 characters";
        return false;
    }
    for (char c : out.host) {
        if (!isHostCharacter(c)) {
            why = "the host name holds a character a host name cannot have";
            return false;
        }
    }
    if (colon != std::string::npos) {
        std::string port = authority.substr(colon + 1);
        long value = 0;
        for (char c : port) value = isDigit(c) && value <= 65535 ? value * 10 + (c - '0') : 100000;
        if (port.empty() || value < 1 || value > 65535) {
            why = "the port is not a number from 1 to 65535";
            return false;
        }
        out.port = static_cast<uint16_t>(value);
    }
    if (slash) {
        while (*slash == '/') ++slash;
        out.path = slash;
    }
    return true;
}

// --- Response heads -------------------------------------------------------------

void ResponseHeadReader::refuse(const std::string& why) {
    state_ = State::Refused;
    problem_ = why;
}

size_t ResponseHeadReader::feed(const char* data, size_t bytes) {
    size_t taken = 0;
    while (taken < bytes && state_ == State::Reading) {
        const char c = data[taken++];
        text_ += c;
        if (text_.size() > limits_.maxHeadBytes) {
            refuse("the response head is larger than " + std::to_string(limits_.maxHeadBytes) + " bytes");
            break;
        }
        // Anything that does not start like a status line is not worth waiting for.
        if (text_.size() <= 5 && std::strncmp(text_.c_str(), "HTTP/", text_.size()) != 0) {
            refuse("the response does not begin with an HTTP status line");
            break;
        }
        if (c == '\n') {
            if (lineLength_ == 0) {
                state_ = State::Complete;
                break;
            }
            if (++lines_ > limits_.maxHeaderLines) {
                refuse("the response head has more than " + std::to_string(limits_.maxHeaderLines) + " lines");
                break;
            }
            lineLength_ = 0;
        } else if (c != '\r') {
            ++lineLength_;
            const size_t cap = lines_ == 0 ? limits_.maxStatusLine : limits_.maxHeaderLine;
            if (lineLength_ > cap) {
                refuse(std::string(lines_ == 0 ? "the status line" : "a header line") + " is longer than " +
                       std::to_string(cap) + " bytes");
                break;
            }
        }
    }
    return taken;
}

bool parseResponseHead(const std::string& text, ResponseHead& out, std::string& why) {
    out = ResponseHead{};
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            first = false;
            if (!parseStatusLine(line, out.status)) {
                why = "malformed status line";
                return false;
            }
            continue;
        }
        if (line.empty()) break;
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;  // not a field; nothing we use
        const std::string name = lowerCase(trimmed(line.substr(0, colon)));
        const std::string value = trimmed(line.substr(colon + 1));
        if (name == "content-length") {
            int64_t length = 0;
            bool ok = !value.empty() && value.size() <= 10;
            for (char c : value) ok = ok && isDigit(c);
            if (ok) {
                for (char c : value) length = length * 10 + (c - '0');
                ok = length <= INT32_MAX;
            }
            if (!ok) {
                why = "Content-Length is not a number from 0 to 2147483647";
                return false;
            }
            if (out.contentLength >= 0 && out.contentLength != length) {
                why = "two different Content-Length values";
                return false;
            }
            out.contentLength = length;
        } else if (name == "transfer-encoding") {
            if (lowerCase(value) != "identity") out.chunked = true;
        } else if (name == "location") {
            bool safe = true;
            for (char c : value) safe = safe && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
            if (!safe) out.unsafeLocation = true;
            else if (out.location.empty()) out.location = value;
        }
    }
    if (first) {
        why = "empty response head";
        return false;
    }
    return true;
}

std::string printable(const std::string& text, size_t max) {
    std::string out = text.substr(0, max);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\r' && c != '\n' && c != '\t') || u == 0x7f) c = '?';
    }
    if (text.size() > max) out += "...";
    return out;
}

}  // namespace vz::fs
