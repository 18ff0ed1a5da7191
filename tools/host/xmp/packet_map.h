// Where the parts of an XMP packet that pixtagger edits stand in its text:
// the first rdf:Description and the namespaces bound there, each keyword
// property and our record of it with their items. Read by expat, which
// gives each element's place in the text.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "xmp/keywords.h"

// One element, by positions in the text.
struct XmlSpan {
    std::size_t start = 0;  // its '<'
    std::size_t startEnd = 0;  // past its start tag (the whole tag, for <a/>)
    std::size_t end = 0;  // its end tag's '<' (startEnd for <a/>)
    std::size_t close = 0;  // past its end tag
    std::size_t lastChildStart = 0, lastChildClose = 0;  // of its last child element, if any
    bool hasChild = false;
    std::string qname;  // as written: "rdf:Bag"
    bool emptyTag() const { return close == startEnd; }
    // "rdf:" of "rdf:Bag", "" of "Bag": for sibling elements of its namespace.
    std::string prefix() const {
        return qname.substr(0, qname.find(':') == std::string::npos ? 0 : qname.find(':') + 1);
    }
};

// A keyword property or our record of one: its element, its array, its items.
struct ArraySpan {
    bool found = false;
    XmlSpan property, array;
    std::string arrayType;  // "Bag", "Seq" or "Alt"
    std::vector<XmlSpan> items;
    std::vector<std::string> values;  // beside `items`, as XML reads them
};

using NamespaceScope = std::vector<std::pair<std::string, std::string>>;  // prefix, URI: the later one holds

struct PacketMap {
    XmlSpan rdf;
    bool hasDescription = false;
    XmlSpan description;  // the first top-level one
    NamespaceScope rdfScope, descriptionScope;  // bound at the start of each
    NamespaceScope declared;  // every declaration in the packet, in order
    PerProperty<ArraySpan> keywords, records;
};

// The map of `text` (UTF-8, or read as UTF-8 when `forceUtf8`, whatever it
// declares). False with a one-line reason ending in "; left as it is" for
// text that is not an XMP packet, or whose keyword properties or record
// have a form this program does not edit (a simple value, a resource,
// items with qualifiers or structure, a property twice).
bool mapPacket(const std::string& text, bool forceUtf8, PacketMap& map, std::string& error);
