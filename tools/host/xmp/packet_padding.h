// XMP's own update method: the white space a writer leaves before a
// packet's trailer, taken from or added to so that a new packet fills the
// place of the old one and every byte after it keeps its position.
#pragma once

#include <cstddef>
#include <string>

// `packet` made `size` bytes long by its padding alone. False, the packet
// as it was, when it has no trailer, too little padding, or a size its
// encoding cannot reach.
bool fitPacket(std::string& packet, std::size_t size);
