// rules list: one line per rule, its names and the rule list dialog's own
// condition text (formatCondition) converted from CP932 to UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "conditions/condition.h"

// "3\tenabled\tWeb\tサイズ\t40000 ≦ 面積 ＜ 1000000": number from 1, then
// tab-separated fields; a control character in a name is shown escaped.
std::string ruleLine(std::size_t number, const Condition& rule);

// The same as one JSON object, with the rule's numbers as the file keeps them.
std::string ruleJson(std::size_t number, const Condition& rule);
