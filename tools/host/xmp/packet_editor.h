// The keyword properties of an XMP packet brought in line with the rules,
// edited where they stand in the packet's bytes: items of ours out, new
// ones in after the last, a missing property (and the namespace it needs)
// added to the first rdf:Description. Every other byte stays as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "xmp/keyword_plan.h"

// One change, in the old packet's bytes: `removed` bytes at `at` replaced
// by `inserted`.
struct PacketSpan {
    std::size_t at = 0;
    std::size_t removed = 0;
    std::string inserted;
};

struct EditedPacket {
    std::string bytes;
    KeywordPlan plan;
    std::vector<PacketSpan> spans;  // in order, none overlapping
};

enum class Rewrite { Unchanged, Changed, Refused };

// `packet` edited for `keywords` (the matching rules in rule order):
// Unchanged when it holds what they ask for already, Refused with a
// one-line reason ending in "; left as it is" for a packet this program
// does not edit. Nothing is proved here (packet_proof.h does that).
Rewrite editPacket(std::string_view packet, const std::vector<Keyword>& keywords, EditedPacket& edited,
                   std::string& error);

// A packet of no properties, for the editor to fill where there is none;
// with XMP's padding, for a file whose next update should fit in place.
std::string emptyPacket(bool padded);
