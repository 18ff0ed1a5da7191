#include "image_kind.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The brands of HEIF images and image sequences, and of AVIF (an AV1 HEIF).
bool isHeifBrand(const unsigned char* brand) {
    static const char* const kBrands[] = {"heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif", "avis"};
    return std::any_of(std::begin(kBrands), std::end(kBrands),
                       [&](const char* known) { return std::memcmp(brand, known, 4) == 0; });
}

}  // namespace

ImageKind imageKindOf(const unsigned char* head, std::size_t size) {
    static const unsigned char kJxlContainer[] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    if (size >= 2 && head[0] == 0xFF && head[1] == 0x0A) return ImageKind::Jxl;
    if (size >= sizeof kJxlContainer && std::memcmp(head, kJxlContainer, sizeof kJxlContainer) == 0)
        return ImageKind::Jxl;
    if (size >= 2 && head[0] == 0xFF && head[1] == 0xD8) return ImageKind::Jpeg;
    if (size < 16 || std::memcmp(head + 4, "ftyp", 4) != 0) return ImageKind::Other;
    // The major brand, then the compatible ones after the minor version.
    if (std::memcmp(head + 8, "crx ", 4) == 0) return ImageKind::Cr3;
    if (isHeifBrand(head + 8)) return ImageKind::Heif;
    const std::size_t end = std::min<std::size_t>(size, be32(head));
    for (std::size_t at = 16; at + 4 <= end; at += 4) {
        if (isHeifBrand(head + at)) return ImageKind::Heif;
    }
    return ImageKind::Other;
}

const char* imageKindName(ImageKind kind) {
    switch (kind) {
    case ImageKind::Heif: return "HEIF or AVIF";
    case ImageKind::Jxl: return "JPEG XL";
    case ImageKind::Cr3: return "CR3";
    case ImageKind::Jpeg: return "JPEG";
    case ImageKind::Other: break;
    }
    return "";
}
