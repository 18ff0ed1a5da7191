// Arbitrary sidecar bytes and an arbitrary set of rule results through the
// sidecar rewrite. Beyond not crashing, a rewrite keeps every value a user
// had (with its repeats), records exactly the values it added, changes
// nothing when applied again, and keeps every property outside the keyword
// properties and our record.
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sidecars/xmp_facts.h"
#include "sidecars/xmp_sidecar.h"
#include "sidecars/xmp_tags.h"

namespace {

// Names as rules hold them: separators of the hierarchical forms, XML's own
// characters, non-ASCII, white space at the edges.
const Keyword kVocabulary[] = {
    {"Web", "Size"},     {"表示用", "用途"}, {"tiny", ""},   {"a|b", "c"}, {"x/y", ""},     {"Rock & Roll", ""},
    {"caf\xC3\xA9", ""}, {"<&>\"'", "q"},    {" lead", " "}, {"Size", ""}, {"holiday", ""}, {"Web", ""},
};

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

std::size_t count(const std::vector<std::string>& items, const std::string& value) {
    return static_cast<std::size_t>(std::count(items.begin(), items.end(), value));
}

bool has(const std::vector<std::string>& items, const std::string& value) { return count(items, value) > 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    registerPixtaggerXmpNamespace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned mask = data[0] | (data[1] << 8);
    std::vector<Keyword> keywords;
    for (std::size_t i = 0; i < sizeof kVocabulary / sizeof kVocabulary[0]; ++i) {
        if ((mask >> i) & 1) keywords.push_back(kVocabulary[i]);
    }
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::string packet, error;
    KeywordEdits edits;
    try {
        if (rewriteSidecar(bytes, keywords, packet, edits, error) != Rewrite::Changed) return 0;
    } catch (const std::exception&) {
        return 0;  // the run names the sidecar and leaves it alone
    }
    std::vector<KeywordState> before, after;
    check(readKeywordState(bytes, before, error) && readKeywordState(packet, after, error), "the keywords read back");

    for (std::size_t p = 0; p < before.size(); ++p) {
        std::vector<std::string> wanted;
        for (const Keyword& keyword : keywords) wanted.push_back(keywordValues(keyword)[p]);
        const KeywordState& old = before[p];
        const KeywordState& now = after[p];
        for (const std::string& value : now.record) {
            check(count(now.record, value) == 1, "the record holds each value once");
            check(has(wanted, value), "the record holds only values that apply");
            // Ours: what we had recorded and was still there, or what was missing.
            check((has(old.record, value) && has(old.present, value)) || !has(old.present, value),
                  "the record holds only values we added");
        }
        for (const std::string& value : wanted) check(has(now.present, value), "every value that applies is there");
        std::vector<std::string> values = old.present;
        values.insert(values.end(), now.present.begin(), now.present.end());
        for (const std::string& value : values) {
            const std::size_t ours = has(old.record, value) && has(old.present, value) ? 1 : 0;
            const std::size_t users = count(old.present, value) - ours;
            check(count(now.present, value) == users + (has(now.record, value) ? 1 : 0),
                  "every value a user had is there, with its repeats, and ours once");
        }
    }

    std::vector<XmpFact> oldFacts, newFacts;
    check(readXmpFacts(bytes, oldFacts, error) && readXmpFacts(packet, newFacts, error), "both packets read");
    check(firstDifference(oldFacts, newFacts).empty(), "every other property comes back as it was");

    std::string again;
    KeywordEdits more;
    check(rewriteSidecar(packet, keywords, again, more, error) == Rewrite::Unchanged, "a second run changes nothing");
    return 0;
}
