// JPEG sizes from the frame header, reached by stepping over each segment
// by its length: no segment's body (Exif, thumbnails, maker notes) is read.
#pragma once

#include <string>

#include "image_size.h"

namespace Exiv2 {
class BasicIo;
}

// False with a one-line reason in `error`: cut short, a marker not where
// the segment before it ends, or a frame header that leaves its height to
// a later DNL segment (no camera writes one).
bool readJpegSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error);
