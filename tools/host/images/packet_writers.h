// The writer of each format behind withPacket (embedded_packet.h).
#pragma once

#include <string>
#include <string_view>

#include "images/image_layout.h"

bool jpegWithPacket(std::string_view f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& placed, std::string& error);
bool tiffWithPacket(std::string_view f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& placed, std::string& error);
bool pngWithPacket(std::string_view f, const ImageLayout& layout, const std::string& packet, std::string& out);
bool webpWithPacket(std::string_view f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& error);

// Room for the next update: `packet`'s padding grown towards 2 KiB, as
// Adobe's writers leave it, within `limit` bytes in all.
void padForNextTime(std::string& packet, std::size_t limit);
