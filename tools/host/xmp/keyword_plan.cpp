#include "xmp/keyword_plan.h"

#include <algorithm>

namespace {

using Items = std::vector<std::string>;

bool contains(const Items& items, const std::string& value) {
    return std::find(items.begin(), items.end(), value) != items.end();
}

// The item of `value` to take out.
std::size_t itemToRemove(const KeywordArrays& arrays, const std::string& value) {
    std::size_t chosen = arrays.present.size();
    for (std::size_t i = arrays.present.size(); i-- > 0;) {
        if (arrays.present[i] != value) continue;
        if (arrays.canonical[i]) return i;
        if (chosen == arrays.present.size()) chosen = i;
    }
    return chosen;
}

// The record's items kept in order, the rest out, the new ones appended.
ArrayChange recordChange(const Items& before, const Items& after) {
    ArrayChange change;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (kept < after.size() && before[i] == after[kept]) {
            ++kept;
        } else {
            change.removed.push_back(i);
        }
    }
    change.appended.assign(after.begin() + static_cast<std::ptrdiff_t>(kept), after.end());
    return change;
}

}  // namespace

KeywordPlan planKeywords(const PerProperty<KeywordArrays>& state, const std::vector<Keyword>& keywords) {
    KeywordPlan plan;
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        const KeywordArrays& arrays = state[p];
        const std::string shown = kKeywordProperty[p].property.shown();
        Items wanted;
        for (const Keyword& keyword : keywords) {
            const std::string value = keywordValues(keyword)[p];
            if (!contains(wanted, value)) wanted.push_back(value);
        }
        Items& record = plan.record[p];
        ArrayChange& change = plan.keywords[p];
        // We own one occurrence of each value in our record, no more: every
        // other copy, repeats included, is the user's and stays.
        Items seen;
        for (const std::string& ours : arrays.record) {
            if (contains(seen, ours)) continue;
            seen.push_back(ours);
            // A value the user took out since is no longer ours to track.
            if (!contains(arrays.present, ours)) continue;
            if (contains(wanted, ours)) {
                record.push_back(ours);
            } else {
                change.removed.push_back(itemToRemove(arrays, ours));
                plan.edits.removed.push_back({shown, ours});
            }
        }
        std::sort(change.removed.begin(), change.removed.end());
        // A value already there that we did not add is the user's: never
        // recorded as ours, so never removed by a later run.
        for (const std::string& value : wanted) {
            if (contains(arrays.present, value)) continue;
            change.appended.push_back(value);
            record.push_back(value);
            plan.edits.added.push_back({shown, value});
        }
        plan.records[p] = recordChange(arrays.record, record);
        if (record != arrays.record) plan.edits.recordChanged = true;
    }
    return plan;
}
