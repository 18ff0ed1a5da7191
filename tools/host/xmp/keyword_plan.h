// What one run changes in a packet's keyword properties: our values that
// no longer apply go, the missing ones come, and the record of what is ours
// stays exact. Every other value, repeats included, is the user's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "xmp/keywords.h"

// One keyword property as a packet holds it: its items in order (whether
// each is written as we would write it), and the items of our record of it.
struct KeywordArrays {
    std::vector<std::string> present;
    std::vector<bool> canonical;  // beside `present`
    std::vector<std::string> record;
};

// The change to one array: items taken out (indices, ascending) and values
// appended after the last item.
struct ArrayChange {
    std::vector<std::size_t> removed;
    std::vector<std::string> appended;
    bool any() const { return !removed.empty() || !appended.empty(); }
};

struct KeywordPlan {
    PerProperty<ArrayChange> keywords, records;
    PerProperty<std::vector<std::string>> record;  // our record afterwards
    KeywordEdits edits;
};

// `keywords` are the matching rules in rule order. Of a value recorded as
// ours but no longer wanted, one item goes: the last written as we write
// it, else the last.
KeywordPlan planKeywords(const PerProperty<KeywordArrays>& state, const std::vector<Keyword>& keywords);
