// The XMP Exiv2 finds in an image file: a reader we did not write, which
// must find the packet our writer put where readers look.
#pragma once

#include <string>
#include <string_view>

#include "images/image_layout.h"
#include "xmp/exiv2_xmp.h"

// Exiv2's reading of the XMP in `file`; false with a one-line reason where
// Exiv2 reads the file as another format (a TIFF that is a camera's raw
// file) or cannot read it. Holds exiv2XmpLock() exclusively.
bool exiv2FileReading(std::string_view file, EmbedFormat format, Exiv2Reading& reading, std::string& error);
