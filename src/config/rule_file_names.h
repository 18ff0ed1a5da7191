// The names in a rule file: the count's section and key, each rule's section
// and its ten keys in the order a rule is read. The plug-in and the host's
// rule checker both spell them from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rule_file {

constexpr const char* kCountSection = "Conditions";
constexpr const char* kCountKey = "num";
constexpr const char* kRuleSectionPrefix = "Condition";

inline std::string ruleSection(std::uint32_t position) { return kRuleSectionPrefix + std::to_string(position); }

enum RuleKey : std::size_t { kEnable, kAttName, kCatName, kType, kA, kB1, kB2, kCmbA, kCmbB1, kCmbB2, kRuleKeyCount };

constexpr const char* kRuleKeys[kRuleKeyCount] = {"_bEnable", "_attName", "_catName", "_type",  "_a",
                                                  "_b1",      "_b2",      "_cmbA",    "_cmbB1", "_cmbB2"};

// The two keys that hold names; the others hold int32 values.
constexpr bool isTextKey(std::size_t key) { return key == kAttName || key == kCatName; }

}  // namespace rule_file
