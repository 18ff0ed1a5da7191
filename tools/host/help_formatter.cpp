#include "help_formatter.h"

namespace {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::size_t terminalColumns(const std::string& text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        columns += isWide(c) ? 2 : 1;
        i += length;
    }
    return columns;
}

std::string HelpFormatter::make_option(const CLI::Option* option, bool positional) const {
    // As CLI11 lays it out (CLI::detail::format_help), padded by columns.
    std::string out = "  " + make_option_name(option, positional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    if (!description.empty()) {
        const std::size_t used = terminalColumns(out);
        out += used >= column_width_ ? "\n" + std::string(column_width_, ' ') : std::string(column_width_ - used, ' ');
        for (const char c : description) {
            out += c;
            if (c == '\n') out.append(column_width_, ' ');
        }
    }
    return out + "\n";
}
