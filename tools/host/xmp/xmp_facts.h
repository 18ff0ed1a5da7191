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

// The property a fact belongs to, "URI name"; for a qualifier of the
// description itself (a non-empty rdf:about), that qualifier.
std::string factProperty(const XmpFact& fact);

// The steps of a fact's path after its property: "Bag\x1F[2]" of an item.
std::string factSteps(const XmpFact& fact);

// Empty when `before` and `after` (sorted) hold the same facts; else the
// first property that differs (never empty).
std::string firstDifference(const std::vector<XmpFact>& before, const std::vector<XmpFact>& after);
