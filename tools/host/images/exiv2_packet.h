// The XMP packet Exiv2 finds in an image file: a reader we did not write,
// which must find the packet our writer put where readers look.
#pragma once

#include <string>
#include <string_view>

#include "images/image_layout.h"

// Exiv2's packet of `file` as the bytes it read (empty: none; from its
// first '<', as Exiv2 takes a PNG's or TIFF's); false with a one-line
// reason where Exiv2 reads the file as another format (a TIFF that is a
// camera's raw file) or cannot read it (`unreadable` then set). Holds
// exiv2XmpLock() exclusively.
bool exiv2FilePacket(std::string_view file, EmbedFormat format, std::string& packet, bool& unreadable,
                     std::string& error);
