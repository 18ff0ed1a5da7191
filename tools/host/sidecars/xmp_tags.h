// The keywords pixtagger-host keeps in XMP: three keyword properties that
// photo managers read, and, in a namespace of our own, the record of which
// of their values this program put there.
#pragma once

#include <string>
#include <vector>

namespace Exiv2 {
class XmpData;
}

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

// Our namespace: the record's bags are pixtagger:dcSubject,
// pixtagger:lrHierarchicalSubject and pixtagger:digiKamTagsList.
extern const char* const kPixtaggerXmpNamespace;
extern const char* const kPixtaggerXmpPrefix;

// Registers our namespace with Exiv2 (and its XMP toolkit). Exiv2's registry
// is one for the whole process: call once, before any thread uses XMP.
void registerPixtaggerXmpNamespace();

// Back to Exiv2's own namespaces and ours: a packet read earlier may have
// bound a known prefix to its own URI (Exiv2 then follows the file's
// binding for every later packet). Call with exiv2XmpLock() held
// exclusively, before each decode.
void resetXmpNamespaces();

// After a decode: false, with a one-line reason, when the packet bound a
// prefix of the keyword properties or ours to another namespace; its values
// would then be read from, and written to, another program's property.
bool keywordNamespacesIntact(std::string& error);

// Empties that registry, ours and the namespaces met in files: Exiv2 frees
// their names only so. Call once, after the threads are done with XMP.
void releaseXmpNamespaces();

// Brings the keyword properties of `xmp` in line with `keywords`, the
// matching rules in rule order: adds what is missing, removes what we added
// earlier and no longer applies, and leaves every other value and property
// alone. Throws std::runtime_error with a one-line reason, `xmp` unchanged,
// when a keyword property has a form this program does not edit (items
// with qualifiers, a structure).
KeywordEdits applyKeywords(Exiv2::XmpData& xmp, const std::vector<Keyword>& keywords);

// The values of each keyword property and of our record of it, in a fixed
// order of the properties; throws as applyKeywords does for forms we do not
// edit.
struct KeywordState {
    std::string property;  // "dc:subject"
    std::vector<std::string> present, record;
    bool operator==(const KeywordState& other) const {
        return property == other.property && present == other.present && record == other.record;
    }
};
std::vector<KeywordState> keywordState(const Exiv2::XmpData& xmp);

// The value each keyword property gets for a rule's names.
std::vector<std::string> keywordValues(const Keyword& keyword);
