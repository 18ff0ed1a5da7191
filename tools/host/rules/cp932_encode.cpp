#include "rules/cp932_encode.h"

#include <cstdint>
#include <cstdio>

#include "text/messages.h"
#include "text/text_encoding.h"

namespace {

// The code point of the UTF-8 sequence at `at` and its length, or 0 for a
// malformed one (overlong, a surrogate, beyond U+10FFFF, cut short).
std::size_t decode(const std::string& text, std::size_t at, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

std::string codePoint(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
    return text;
}

}  // namespace

std::optional<std::string> utf8ToCp932(const std::string& utf8, const char* option, std::string& error) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t code = 0;
        const std::size_t length = decode(utf8, at, code);
        if (length == 0) {
            error = tr("%s '%s' is not UTF-8 text", {option, utf8});
            return std::nullopt;
        }
        const std::string character = utf8.substr(at, length);
        if (code < 0x20 || code == 0x7F) {
            error = tr("%s '%s' holds a control character (%s), which a rule file cannot keep in a name",
                       {option, utf8, codePoint(code)});
            return std::nullopt;
        }
        // Back to the same character, or it is a best fit (U+00A5 to a
        // backslash, U+301C to U+FF5E) that the file would not give back.
        const std::optional<std::string> bytes = cp932Character(character);
        if (!bytes || cp932ToUtf8(*bytes) != character) {
            error = tr("%s '%s' holds '%s' (%s), which code page 932, the rule file's, cannot spell",
                       {option, utf8, character, codePoint(code)});
            return std::nullopt;
        }
        out += *bytes;
        at += length;
    }
    return out;
}
