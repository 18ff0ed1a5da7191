// The rule list's third column: a rule written out as its test of the area,
// in code page 932 ("面積 ≧ 1000000", "100 ≦ 面積 ＜ 5000").
#pragma once

#include <string>

#include "conditions/condition.h"

// An operator code outside its list gives an empty symbol, which leaves two
// spaces in a row. Throws std::bad_alloc.
std::string formatCondition(const Condition& rule);
