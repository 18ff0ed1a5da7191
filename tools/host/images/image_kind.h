// What an image file holds, told from its first bytes rather than its name:
// phones save JPEGs named .heic and HEICs named .jpg.
#pragma once

#include <cstddef>

enum class ImageKind {
    Other,  // left to Exiv2, which knows the classic formats by their signatures
    Heif,  // HEIF (HEIC and the rest) and AVIF: an ftyp box with one of their brands
    Jxl,  // JPEG XL, a bare codestream or its container
    Cr3,  // Canon's raw format: an ftyp box of brand "crx "
    Jpeg,  // FF D8: a JPEG (or a JPEG-based MPO), whose size the frame header holds
};

// The kind of the file whose first `size` bytes are `head`; a short head is
// enough for the signatures, and the more of an ftyp box it holds, the more
// of its compatible brands are seen.
ImageKind imageKindOf(const unsigned char* head, std::size_t size);

// A name for messages: "HEIF or AVIF", "JPEG XL", "CR3", "JPEG", or an empty text for Other.
const char* imageKindName(ImageKind kind);
