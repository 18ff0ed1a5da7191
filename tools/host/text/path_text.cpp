#include "text/path_text.h"

#include <cstdint>
#include <cstdio>

#include "system/utf8_name.h"
#include "text/text_encoding.h"

namespace {

// Where the backslash separates folders it is shown as it is; elsewhere it
// introduces an escape and so is escaped itself.
constexpr bool kPreferredSeparatorIsBackslash = std::filesystem::path::preferred_separator == '\\';

// Length of the well-formed UTF-8 sequence at `i`, or 0.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;  // no overlong forms
        if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (i + n > s.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return n;
}

std::string base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

// The UTF-8 of `s` with U+FFFD for each byte that is not part of a
// well-formed sequence; `valid` says whether there was none.
std::string repairedUtf8(const std::string& s, bool& valid) {
    valid = true;
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8Length(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            valid = false;
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

}  // namespace

std::string pathUtf8(const std::filesystem::path& path) { return utf8Name(path); }

std::string pathText(const std::filesystem::path& path) {
    const std::string name = pathUtf8(path);
    std::string out;
    out.reserve(name.size());
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7F && (c != '\\' || kPreferredSeparatorIsBackslash)) {
            out += ch;
            continue;
        }
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
        }
    }
    return out;
}

std::string pathJsonMembers(const std::filesystem::path& path, const char* name) {
    const std::string bytes = pathUtf8(path);
    bool valid = true;
    const std::string text = repairedUtf8(bytes, valid);
    std::string members = "\"";
    members.append(name).append("\":").append(jsonString(text));
    if (!valid) members.append(",\"").append(name).append("_base64\":\"").append(base64(bytes)).append("\"");
    return members;
}
