// The keywords pixtagger-host keeps in XMP: three keyword properties that
// photo managers read, and, in a namespace of our own, the record of which
// of their values this program put there.
#pragma once

#include <array>
#include <string>
#include <vector>

// One matching rule's names in UTF-8; an empty category is none.
struct Keyword {
    std::string name;
    std::string category;
};

// One value added to or removed from a keyword property such as "dc:subject".
struct KeywordEdit {
    std::string property;
    std::string value;
};

struct KeywordEdits {
    std::vector<KeywordEdit> added;
    std::vector<KeywordEdit> removed;
    bool recordChanged = false;  // our record of what is ours changed
    bool any() const { return !added.empty() || !removed.empty() || recordChanged; }
};

// Our namespace, of a reserved top-level domain, so that it can never name
// anybody else's schema: the record's bags are pixtagger:lrHierarchicalSubject,
// pixtagger:digiKamTagsList and pixtagger:dcSubject.
inline constexpr char kPixtaggerXmpNamespace[] = "http://pixtagger.invalid/xmp/1.0/";

// A property by its namespace URI and name, and the prefix it gets where a
// packet has none bound to that URI.
struct XmpName {
    const char* uri;
    const char* name;
    const char* prefix;
    std::string shown() const { return std::string(prefix) + ":" + name; }  // "dc:subject"
};

// One keyword property: its array type when we create it, what joins a
// category to a name in it, and our record of the values we added to it.
struct KeywordProperty {
    XmpName property;
    const char* arrayType;  // "Bag" or "Seq"
    char separator;  // 0: the name alone
    XmpName record;
};

// Lightroom's hierarchy, digiKam's tag paths and the flat keywords every
// other program reads, in the order their edits are listed.
constexpr std::size_t kKeywordProperties = 3;
extern const KeywordProperty kKeywordProperty[kKeywordProperties];

// One of a thing for each keyword property, in the table's order.
template <typename T>
using PerProperty = std::array<T, kKeywordProperties>;

// The value each keyword property gets for a rule's names.
std::vector<std::string> keywordValues(const Keyword& keyword);
