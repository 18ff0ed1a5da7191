#include "xmp/packet_text.h"
#include "text/messages.h"

#include <cstdint>

namespace {

// The next code point of UTF-8 `text` at `at`, which moves past it; false
// for bytes that are not UTF-8.
bool nextCodePoint(std::string_view text, std::size_t& at, std::uint32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra < 0 || at + static_cast<std::size_t>(extra) >= text.size()) return false;
    cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((byte(at + static_cast<std::size_t>(i)) & 0xC0) != 0x80) return false;
        cp = cp << 6 | (byte(at + static_cast<std::size_t>(i)) & 0x3F);
    }
    static const std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    at += static_cast<std::size_t>(extra) + 1;
    return true;
}

void putUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void putUtf16(std::string& out, std::uint32_t unit, bool littleEndian) {
    out += static_cast<char>(littleEndian ? unit & 0xFF : unit >> 8);
    out += static_cast<char>(littleEndian ? unit >> 8 : unit & 0xFF);
}

bool startsWith(std::string_view bytes, std::string_view start) { return bytes.substr(0, start.size()) == start; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The encoding an XML declaration at the start of 8-bit text names, or
// "UTF-8" where it names none (or there is no declaration).
std::string_view declaredEncoding(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (!startsWith(bytes, "<?xml") || bytes.size() < 6 ||
        (bytes[5] != ' ' && bytes[5] != '\t' && bytes[5] != '\r' && bytes[5] != '\n'))
        return "UTF-8";
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return "UTF-8";
    at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos) return "UTF-8";
    const std::size_t end = declaration.find(declaration[at], at + 1);
    return end == std::string_view::npos ? "UTF-8" : declaration.substr(at + 1, end - at - 1);
}

}  // namespace

bool packetEncoding(std::string_view bytes, PacketEncoding& encoding, std::string& error) {
    if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4)) ||
        startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)) || startsWith(bytes, std::string_view("\0\0\0<", 4)) ||
        startsWith(bytes, std::string_view("<\0\0\0", 4))) {
        error = tr("written in UTF-32, which this program does not read");
        return false;
    }
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, std::string_view("\0<", 2))) {
        encoding = PacketEncoding::Utf16Be;
        return true;
    }
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, std::string_view("<\0", 2))) {
        encoding = PacketEncoding::Utf16Le;
        return true;
    }
    const std::string_view declared = declaredEncoding(bytes);
    if (sameName(declared, "UTF-8")) {
        encoding = PacketEncoding::Utf8;
    } else if (sameName(declared, "ISO-8859-1")) {
        encoding = PacketEncoding::Latin1;
    } else if (sameName(declared, "US-ASCII")) {
        encoding = PacketEncoding::Ascii;
    } else {
        error = tr("declares the encoding \"%s\", which this program does not read",
                   {std::string(declared.substr(0, 40))});
        return false;
    }
    return true;
}

bool decodePacket(std::string_view bytes, PacketEncoding encoding, std::string& text, std::string& error) {
    text.clear();
    switch (encoding) {
    case PacketEncoding::Utf8: text.assign(bytes); return true;
    case PacketEncoding::Ascii:
    case PacketEncoding::Latin1:
        text.reserve(bytes.size() + bytes.size() / 8);
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80 && encoding == PacketEncoding::Ascii) {
                error = tr("declares US-ASCII but holds other bytes");
                return false;
            }
            putUtf8(text, byte);
        }
        return true;
    case PacketEncoding::Utf16Le:
    case PacketEncoding::Utf16Be: break;
    }
    const bool little = encoding == PacketEncoding::Utf16Le;
    if (bytes.size() % 2 != 0) {
        error = tr("UTF-16 text of an odd number of bytes");
        return false;
    }
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size(); at += 2) {
        const auto unit = [&](std::size_t i) {
            const std::uint32_t a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            return little ? a | b << 8 : a << 8 | b;
        };
        std::uint32_t cp = unit(at);
        if (cp >= 0xD800 && cp <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10 | (unit(at + 2) - 0xDC00));
            at += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            error = tr("UTF-16 text with an unpaired surrogate");
            return false;
        }
        putUtf8(text, cp);
    }
    return true;
}

std::string encodePacket(std::string_view text, PacketEncoding encoding) {
    if (encoding == PacketEncoding::Utf8) return std::string(text);
    std::string out;
    out.reserve(encoding == PacketEncoding::Utf16Le || encoding == PacketEncoding::Utf16Be ? 2 * text.size()
                                                                                           : text.size());
    std::uint32_t cp = 0;
    for (std::size_t at = 0; at < text.size() && nextCodePoint(text, at, cp);) {
        switch (encoding) {
        case PacketEncoding::Utf8:
        case PacketEncoding::Ascii:
        case PacketEncoding::Latin1: out += static_cast<char>(cp); break;  // read from such bytes, or escaped
        case PacketEncoding::Utf16Le:
        case PacketEncoding::Utf16Be:
            if (cp >= 0x10000) {
                putUtf16(out, 0xD800 + ((cp - 0x10000) >> 10), encoding == PacketEncoding::Utf16Le);
                cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
            }
            putUtf16(out, cp, encoding == PacketEncoding::Utf16Le);
            break;
        }
    }
    return out;
}

bool escapeValue(std::string_view value, PacketEncoding encoding, std::string& out) {
    out.clear();
    const bool unicode = encoding != PacketEncoding::Latin1 && encoding != PacketEncoding::Ascii;
    std::uint32_t cp = 0;
    for (std::size_t at = 0, from = 0; at < value.size(); from = at) {
        if (!nextCodePoint(value, at, cp)) return false;
        if ((cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0xFFFE || cp == 0xFFFF) return false;
        if (cp == '&') {
            out += "&amp;";
        } else if (cp == '<') {
            out += "&lt;";
        } else if (cp == '>') {
            out += "&gt;";
        } else if (cp == '\r' || (cp >= 0x80 && !unicode)) {
            out += "&#" + std::to_string(cp) + ";";
        } else {
            out.append(value, from, at - from);
        }
    }
    return true;
}

std::size_t encodedSize(std::string_view text, PacketEncoding encoding) {
    switch (encoding) {
    case PacketEncoding::Utf8: return text.size();
    case PacketEncoding::Ascii:
    case PacketEncoding::Latin1:
    case PacketEncoding::Utf16Le:
    case PacketEncoding::Utf16Be: break;
    }
    return encodePacket(text, encoding).size();
}
