// An XMP packet, in a sidecar or inside an image, brought in line with the
// rules: edited where it stands (packet_editor.h) and proved before it may
// replace the old one (packet_proof.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xmp/packet_editor.h"

// The edited packet once proved; Refused with a one-line reason ending in
// "; left as it is". Throws only std::bad_alloc.
Rewrite rewritePacket(std::string_view packet, const std::vector<Keyword>& keywords, EditedPacket& edited,
                      std::string& error);

// The packet for keywords where there was none, made by the same editor
// from an empty packet and proved once for each set of keywords (few sets
// recur over a whole library); `padded` leaves room for a later update in
// place. False with a one-line reason.
bool freshPacket(const std::vector<Keyword>& keywords, bool padded, EditedPacket& packet, std::string& error);

// The largest packet read, in a sidecar or an image: darktable's, with a
// long history, are far below.
constexpr std::int64_t kMaxPacketBytes = 4 << 20;
