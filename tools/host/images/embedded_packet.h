// An XMP packet put into a copy of a JPEG, TIFF, PNG or WebP file (our own
// chunk writer for PNG and WebP, Exiv2 for JPEG and TIFF), and the packet
// Exiv2 reads from a file, which tells that the packet is where readers
// look.
#pragma once

#include <string>
#include <string_view>

#include "images/image_layout.h"

// The format of `file`, by its first bytes; false for any other.
bool embedFormatOf(std::string_view file, EmbedFormat& format);

// `file`, laid out as `layout` says, with `packet` as its one XMP packet,
// in `out`. False with a one-line reason; throws only what Exiv2 or the
// memory throws.
bool withPacket(EmbedFormat format, std::string_view file, const ImageLayout& layout, const std::string& packet,
                std::string& out, std::string& error);

// The packet Exiv2 reads from `file` (empty: none), as Exiv2 gives it (for
// JPEG, encoded anew from what it read); throws Exiv2's errors.
std::string exiv2Packet(std::string_view file);
