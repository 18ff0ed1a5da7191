#include "image_layout.h"

#include <algorithm>

#include "layout_walk.h"
#include "text/messages.h"

std::string hexNumber(std::uint32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int d = digits - 1; d >= 0; --d) text += kDigits[(value >> (4 * d)) & 0xF];
    return text;
}

bool tooManyParts(std::size_t parts, std::string& error) {
    if (parts <= kMaxParts) return false;
    error = tr("more than %s segments, chunks or entries", {std::to_string(kMaxParts)});
    return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (lower(text[i]) != lower(start[i])) return false;
    }
    return true;
}

bool readLayout(EmbedFormat format, std::string_view file, ImageLayout& layout, std::string& error) {
    layout = ImageLayout();
    switch (format) {
    case EmbedFormat::Jpeg: return jpegLayout(file, layout, error);
    case EmbedFormat::Png: return pngLayout(file, layout, error);
    case EmbedFormat::Webp: return webpLayout(file, layout, error);
    case EmbedFormat::Tiff: return tiffLayout(file, layout, error);
    }
    return false;
}

std::string firstChangedPart(const std::vector<ImagePart>& before, const std::vector<ImagePart>& after) {
    const std::size_t n = std::min(before.size(), after.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (before[i].name != after[i].name || before[i].bytes != after[i].bytes || before[i].value != after[i].value)
            return before[i].name;
    }
    if (before.size() > n) return before[n].name;
    if (after.size() > n) return after[n].name;
    return std::string();
}
