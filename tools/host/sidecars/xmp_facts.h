// What an XMP packet says, read by expat apart from Exiv2's XMP toolkit: each
// value as a path of namespace URIs and names, whatever form its writer chose
// (attribute or element, struct fields in either), so that a packet we wrote
// can be proved to say all that the one it replaces said.
#pragma once

#include <string>
#include <vector>

struct XmpFact {
    // The property ("URI name": its namespace URI, a space, its name), then
    // each step into it ("Bag", "[2]", a field's "URI name", a qualifier's
    // "@URI name"), each after a \x1F.
    std::string path;
    std::string value;
    bool operator<(const XmpFact& other) const { return path != other.path ? path < other.path : value < other.value; }
    bool operator==(const XmpFact& other) const { return path == other.path && value == other.value; }
};

// Every fact of the packet in `bytes` (a whole sidecar: one XML document, no
// document type declaration), sorted. False with a one-line reason when the
// bytes are not such a document.
bool readXmpFacts(const std::string& bytes, std::vector<XmpFact>& facts, std::string& error);

// Whether the property a fact belongs to is one pixtagger may change: the
// three keyword properties and anything in our own namespace (by URI).
bool isOurProperty(const XmpFact& fact);

// Empty when `before` and `after` hold the same facts outside ours; else the
// first property that differs, as "URI name" (never empty).
std::string firstDifference(const std::vector<XmpFact>& before, const std::vector<XmpFact>& after);
