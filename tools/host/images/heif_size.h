// HEIF and AVIF sizes from the `meta` box alone, read in one bounded pass:
// the primary item (pitm), its properties (ipma into ipco) and the image
// spatial extent (ispe) among them. Nothing per item is kept.
#pragma once

#include <string>

#include "image_size.h"

namespace Exiv2 {
class BasicIo;
}

// Why a file has no size: a fault of the file, or a limit of ours that a
// file another reader accepts may exceed (the fuzzing oracle tells them apart).
enum class HeifRefusal {
    None,
    Damaged,  // cut short, no primary item, no size for it
    Inconsistent,  // a count its box cannot hold; two of what a file holds one of
                   // (pitm, ipco, ispe, the primary's ipma entry)
    Limit,  // a meta box beyond kMaxMetaBytes, or no meta among the first boxes
};

constexpr unsigned long kMaxMetaBytes = 4ul << 20;

// False with a one-line reason in `error` (and its kind in `refusal`).
bool readHeifSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error, HeifRefusal* refusal = nullptr);
