// Exiv2's reading of an XMP packet: a reader we did not write, which must
// read every value of a packet we edited as it read the old one, ours
// aside. Exiv2 no longer writes XMP here; it only reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xmp/keywords.h"

// Registers our namespace with Exiv2 and its XMP toolkit. Exiv2's registry
// is one for the whole process: call once, before any thread uses XMP.
void registerPixtaggerXmpNamespace();

// Empties that registry, ours and the namespaces met in packets: Exiv2
// frees their names only so. Call once, after the threads are done with XMP.
void releaseXmpNamespaces();

// Back to Exiv2's own namespaces and ours: a packet read earlier may have
// bound a known prefix to its own URI, and Exiv2 then follows that binding
// for every later packet. Call with exiv2XmpLock() held exclusively.
void resetXmpNamespaces();

struct Exiv2Reading {
    bool read = false;  // false: Exiv2 cannot read the packet
    std::vector<std::string> others;  // every other value, as "key type value", sorted
    PerProperty<std::vector<std::string>> keywords, records;
};

// What Exiv2 reads in `packet`, from a registry of its own namespaces and
// ours (a packet read before may have bound a known prefix to another
// URI). Holds exiv2XmpLock() exclusively; throws only std::bad_alloc.
Exiv2Reading exiv2Reading(std::string_view packet);
