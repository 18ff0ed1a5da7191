// The rule list in its profile file: section "Conditions" holds the count,
// section "Condition<i>" the ten keys of rule i. Loading and saving go
// through ProfileFile, one key per call.
#include <cstdint>
#include <string>

#include "conditions/condition_list.h"
#include "config/profile_file.h"
#include "config/rule_file_names.h"

using namespace rule_file;

// Keys missing from the section read as enabled, empty and 0, not as a
// fresh rule's values.
void Condition::load(const ProfileFile& file, const char* section) {
    _bEnable = file.get(section, kRuleKeys[kEnable], std::int32_t{1}) != 0;
    _attName = file.get(section, kRuleKeys[kAttName], std::string());
    _catName = file.get(section, kRuleKeys[kCatName], std::string());
    _type = file.get(section, kRuleKeys[kType], std::int32_t{0});
    _a = file.get(section, kRuleKeys[kA], std::int32_t{0});
    _b1 = file.get(section, kRuleKeys[kB1], std::int32_t{0});
    _b2 = file.get(section, kRuleKeys[kB2], std::int32_t{0});
    _cmbA = file.get(section, kRuleKeys[kCmbA], std::int32_t{0});
    _cmbB1 = file.get(section, kRuleKeys[kCmbB1], std::int32_t{0});
    _cmbB2 = file.get(section, kRuleKeys[kCmbB2], std::int32_t{0});
}

void Condition::save(const ProfileFile& file, const char* section) const {
    file.put(section, kRuleKeys[kEnable], std::int32_t{_bEnable ? 1 : 0});
    file.put(section, kRuleKeys[kAttName], _attName);
    file.put(section, kRuleKeys[kCatName], _catName);
    file.put(section, kRuleKeys[kType], _type);
    file.put(section, kRuleKeys[kA], _a);
    file.put(section, kRuleKeys[kB1], _b1);
    file.put(section, kRuleKeys[kB2], _b2);
    file.put(section, kRuleKeys[kCmbA], _cmbA);
    file.put(section, kRuleKeys[kCmbB1], _cmbB1);
    file.put(section, kRuleKeys[kCmbB2], _cmbB2);
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
