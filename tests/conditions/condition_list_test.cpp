// The rule record's defaults and the list's edits, order and limit.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "conditions/condition_list.h"

namespace {

Condition named(const std::string& name) {
    Condition c;
    c._attName = name;
    return c;
}

std::vector<std::string> names(const ConditionList& list) {
    std::vector<std::string> out;
    for (const Condition& c : list) out.push_back(c._attName);
    return out;
}

TEST(Condition, FreshRuleHoldsTheDefaultRule) {
    const Condition c;
    EXPECT_TRUE(c._bEnable);
    EXPECT_EQ(c._attName, "");
    EXPECT_EQ(c._catName, "");
    EXPECT_EQ(c._type, 0);
    EXPECT_EQ(c._a, 999999999);
    EXPECT_EQ(c._b1, 0);
    EXPECT_EQ(c._b2, 999999999);
    EXPECT_EQ(c._cmbA, 0);
    EXPECT_EQ(c._cmbB1, 0);
    EXPECT_EQ(c._cmbB2, 0);
}

TEST(Condition, CopiesOwnTheirTexts) {
    Condition original = named("Large");
    original._catName = "Size";
    Condition copy = original;
    copy._attName += "r";
    copy._catName.clear();
    EXPECT_EQ(original._attName, "Large");
    EXPECT_EQ(original._catName, "Size");
    EXPECT_NE(copy, original);
}

TEST(ConditionList, EditsKeepOrderAndDuplicates) {
    ConditionList list;
    EXPECT_TRUE(list.empty());
    for (const char* n : {"a", "b", "a", "c"}) list.append(named(n));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "b", "a", "c"}));

    list.replace(1, named("B"));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "B", "a", "c"}));

    list.erase(0);
    EXPECT_EQ(names(list), (std::vector<std::string>{"B", "a", "c"}));
    list.erase(2);
    EXPECT_EQ(names(list), (std::vector<std::string>{"B", "a"}));
}

TEST(ConditionList, BadPositionsThrowAndChangeNothing) {
    ConditionList list;
    list.append(named("only"));
    EXPECT_THROW(list.replace(1, named("x")), std::out_of_range);
    EXPECT_THROW(list.erase(1), std::out_of_range);
    EXPECT_EQ(names(list), std::vector<std::string>{"only"});
}

TEST(ConditionList, LimitIsTheSameOnEveryBuild) {
    ConditionList list;
    for (std::size_t n :
         {ConditionList::kMaxSize + 1, std::size_t{4294967295u}, std::numeric_limits<std::size_t>::max()}) {
        try {
            list.reserve(n);
            FAIL() << "reserve(" << n << ") succeeded";
        } catch (const std::length_error& e) {
            EXPECT_STREQ(e.what(), "vector<T> too long");
        }
    }
    EXPECT_EQ(ConditionList::kMaxSize, 107374182u);
    list.reserve(1000);
    EXPECT_TRUE(list.empty());
}

}  // namespace
