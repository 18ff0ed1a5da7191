// An XMP packet put into a copy of a JPEG, TIFF, PNG or WebP file by
// writers of our own: only the packet's bytes change, and where its length
// must change, the lengths and offsets that say where things are.
#pragma once

#include <string>
#include <string_view>

#include "images/image_layout.h"

// The format of `file`, by its first bytes; false for any other.
bool embedFormatOf(std::string_view file, EmbedFormat& format);

// `file`, laid out as `layout` says, with `packet` as its one XMP packet,
// in `out`; `placed` is the packet as written. A JPEG's or TIFF's packet
// takes the old one's place where its padding lets it (XMP's update
// method: every byte after it keeps its position), else its segment grows
// or the packet goes to the end of the TIFF, with padding for the next
// time. False with a one-line reason.
bool withPacket(EmbedFormat format, std::string_view file, const ImageLayout& layout, const std::string& packet,
                std::string& out, std::string& placed, std::string& error);
