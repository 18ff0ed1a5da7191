// The rule list in its profile file: section "Conditions" holds the count,
// section "Condition<i>" the ten keys of rule i. Loading and saving go
// through ProfileFile, one key per call.
#include <cstdint>
#include <string>

#include "conditions/condition_list.h"
#include "config/profile_file.h"

namespace {

constexpr const char* kCountSection = "Conditions";
constexpr const char* kCountKey = "num";

std::string ruleSection(std::uint32_t position) { return "Condition" + std::to_string(position); }

}  // namespace

// Keys missing from the section read as enabled, empty and 0, not as a
// fresh rule's values.
void Condition::load(const ProfileFile& file, const char* section) {
    _bEnable = file.get(section, "_bEnable", std::int32_t{1}) != 0;
    _attName = file.get(section, "_attName", std::string());
    _catName = file.get(section, "_catName", std::string());
    _type = file.get(section, "_type", std::int32_t{0});
    _a = file.get(section, "_a", std::int32_t{0});
    _b1 = file.get(section, "_b1", std::int32_t{0});
    _b2 = file.get(section, "_b2", std::int32_t{0});
    _cmbA = file.get(section, "_cmbA", std::int32_t{0});
    _cmbB1 = file.get(section, "_cmbB1", std::int32_t{0});
    _cmbB2 = file.get(section, "_cmbB2", std::int32_t{0});
}

void Condition::save(const ProfileFile& file, const char* section) const {
    file.put(section, "_bEnable", std::int32_t{_bEnable ? 1 : 0});
    file.put(section, "_attName", _attName);
    file.put(section, "_catName", _catName);
    file.put(section, "_type", _type);
    file.put(section, "_a", _a);
    file.put(section, "_b1", _b1);
    file.put(section, "_b2", _b2);
    file.put(section, "_cmbA", _cmbA);
    file.put(section, "_cmbB1", _cmbB1);
    file.put(section, "_cmbB2", _cmbB2);
}

// The count alone decides how many rules there are; a rule whose section is
// missing loads from the missing-key values.
ConditionList::ConditionList(const std::string& path) {
    const ProfileFile file(path);
    const std::uint32_t count = file.get(kCountSection, kCountKey, std::uint32_t{0});
    if (count == 0) return;
    reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        Condition rule;
        rule.load(file, ruleSection(i).c_str());
        append(std::move(rule));
    }
}

// Sections numbered at or above the count are left in the file; the count
// hides them from the next load.
void ConditionList::save(const std::string& path) const {
    const ProfileFile file(path);
    file.put(kCountSection, kCountKey, static_cast<std::uint32_t>(size()));
    for (std::uint32_t i = 0; i < size(); ++i) items_[i].save(file, ruleSection(i).c_str());
}
