#include "text/text_encoding.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>

namespace {

std::string toUtf8(UINT codePage, const std::string& text) {
    if (text.empty()) return text;
    const int wide = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string cp932ToUtf8(const std::string& text) { return toUtf8(932, text); }

#else
#include <iconv.h>

namespace {

// One converter per thread: opening one costs more than a name's conversion.
class Cp932Converter {
public:
    Cp932Converter() : cd_(iconv_open("UTF-8", "CP932")) {}
    ~Cp932Converter() {
        if (ok()) iconv_close(cd_);
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's own failure value
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Back to the initial state, for a text of its own.
    iconv_t fresh() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string cp932ToUtf8(const std::string& text) {
    if (text.empty()) return text;
    thread_local Cp932Converter converter;
    if (!converter.ok()) return text;
    iconv_t cd = converter.fresh();
    std::string out(text.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* to = &out[0];
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1)) break;
        // A byte that is not CP932 is shown as U+FFFD and skipped.
        if (outLeft < 3) break;
        *to++ = '\xEF';
        *to++ = '\xBF';
        *to++ = '\xBD';
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    out.resize(out.size() - outLeft);
    return out;
}

#endif

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}
