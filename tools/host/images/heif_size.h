// HEIF and AVIF sizes through libheif: the primary image's, as stored (a
// grid's whole size, not a tile's; before any rotation), however many other
// images, thumbnails or stale Exif blocks the file holds.
#pragma once

#include <string>

#include "image_size.h"

namespace Exiv2 {
class BasicIo;
}

// Reads from `file` (open, at any position) only the boxes libheif needs,
// with libheif's own limits on what a file may claim. False with a one-line
// reason in `error`.
bool readHeifSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error);
