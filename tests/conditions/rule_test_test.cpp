// The area test of one rule, operator by operator at, below and above its
// threshold, plus the codes that the editor and hand-edited files can produce.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "conditions/rule_test.h"
#include "rule_builder.h"

namespace {

struct TypeACase {
    std::int32_t op;
    bool below, at, above;
};

class TypeAOperator : public ::testing::TestWithParam<TypeACase> {};

TEST_P(TypeAOperator, ComparesAreaWithThreshold) {
    const TypeACase& t = GetParam();
    for (std::int32_t a : {5000, 0, -7, 999999999, INT_MAX, INT_MIN + 1}) {
        const Condition rule = RuleBuilder().compare(t.op, a);
        SCOPED_TRACE(::testing::Message() << "op " << t.op << " threshold " << a);
        EXPECT_EQ(matches(rule, std::int64_t{a} - 1), t.below);
        EXPECT_EQ(matches(rule, a), t.at);
        EXPECT_EQ(matches(rule, std::int64_t{a} + 1), t.above);
    }
}

INSTANTIATE_TEST_SUITE_P(AllOperators, TypeAOperator,
                         ::testing::Values(TypeACase{0, true, false, false},  // ＜
                                           TypeACase{1, true, true, false},  // ≦
                                           TypeACase{2, false, true, false},  // ＝
                                           TypeACase{3, false, true, true},  // ≧
                                           TypeACase{4, false, false, true},  // ＞
                                           TypeACase{5, false, false, false},  // unknown codes never match
                                           TypeACase{7, false, false, false}, TypeACase{-1, false, false, false},
                                           TypeACase{INT_MIN, false, false, false}));

struct TypeBCase {
    std::int32_t lowOp, highOp;
    // Areas b1 - 1, b1, b1 + 1, b2 - 1, b2, b2 + 1 for b1 = 100, b2 = 200.
    bool expected[6];
};

class TypeBBounds : public ::testing::TestWithParam<TypeBCase> {};

TEST_P(TypeBBounds, TestsLowerThenUpperBound) {
    const TypeBCase& t = GetParam();
    const std::int64_t areas[6] = {99, 100, 101, 199, 200, 201};
    for (std::int32_t type : {1, 2, -1, INT_MAX, INT_MIN}) {  // every non-zero type is a range
        const Condition rule = RuleBuilder().range(t.lowOp, 100, t.highOp, 200).type(type);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(matches(rule, areas[i]), t.expected[i])
                << "type " << type << " ops " << t.lowOp << "/" << t.highOp << " area " << areas[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllOperators, TypeBBounds,
    ::testing::Values(TypeBCase{0, 0, {false, false, true, true, false, false}},  // 100 < area < 200
                      TypeBCase{0, 1, {false, false, true, true, true, false}},  // 100 < area ≦ 200
                      TypeBCase{1, 0, {false, true, true, true, false, false}},  // 100 ≦ area < 200
                      TypeBCase{1, 1, {false, true, true, true, true, false}},  // 100 ≦ area ≦ 200
                      TypeBCase{5, 0, {true, true, true, true, false, false}},  // lower side open
                      TypeBCase{1, 5, {false, true, true, true, true, true}},  // upper side open
                      TypeBCase{5, 5, {true, true, true, true, true, true}},  // both open
                      TypeBCase{-1, -1, {true, true, true, true, true, true}},  // editor's "no selection"
                      TypeBCase{2, 3, {true, true, true, true, true, true}}));  // type A codes mean nothing here

TEST(RuleTest, TypeBIgnoresTypeAFieldsAndTypeAIgnoresRangeFields) {
    Condition rule = RuleBuilder().range(1, 10, 1, 20);
    rule._cmbA = 7;
    rule._a = -5;
    EXPECT_TRUE(matches(rule, 15));

    Condition single = RuleBuilder().compare(3, 10);
    single._cmbB1 = 0;
    single._b1 = 1000;
    single._cmbB2 = 0;
    single._b2 = 0;
    EXPECT_TRUE(matches(single, 15));
}

TEST(RuleTest, OpenRangeOfAFreshRuleCoversOneToNineNines) {
    const Condition rule = RuleBuilder().range(0, 0, 1, 999999999);
    EXPECT_FALSE(matches(rule, 0));
    EXPECT_TRUE(matches(rule, 1));
    EXPECT_TRUE(matches(rule, 999999999));
    EXPECT_FALSE(matches(rule, 1000000000));
}

TEST(RuleTest, RangeWithoutRoomNeverMatches) {
    for (std::int64_t area : {-1LL, 0LL, 49LL, 50LL, 51LL, 100LL}) {
        EXPECT_FALSE(matches(RuleBuilder().range(0, 50, 0, 50), area)) << area;
        EXPECT_FALSE(matches(RuleBuilder().range(1, 60, 1, 40), area)) << area;
    }
    EXPECT_TRUE(matches(RuleBuilder().range(1, 50, 1, 50), 50));
}

TEST(RuleTest, AreasBeyondThirtyTwoBitsCompareAsTheyAre) {
    const std::int64_t panorama = 100000LL * 50000LL;  // 5000000000, 705032704 if wrapped
    const std::int64_t square = 65536LL * 65536LL;  // 2^32, 0 if wrapped
    EXPECT_TRUE(matches(RuleBuilder().compare(4, INT_MAX), panorama));
    EXPECT_TRUE(matches(RuleBuilder().compare(3, 2000000), panorama));
    EXPECT_FALSE(matches(RuleBuilder().compare(0, 1000000000), panorama));
    EXPECT_FALSE(matches(RuleBuilder().range(1, 700000000, 1, 710000000), panorama));
    EXPECT_FALSE(matches(RuleBuilder().compare(2, 0), square));
    EXPECT_FALSE(matches(RuleBuilder().compare(1, 0), square));
    EXPECT_TRUE(matches(RuleBuilder().range(0, 0, 5, 0), square));
    EXPECT_FALSE(matches(RuleBuilder().range(0, 0, 1, INT_MAX), square));
}

TEST(RuleTest, NegativeAreasCompareSigned) {
    EXPECT_TRUE(matches(RuleBuilder().compare(0, 0), -5000));
    EXPECT_FALSE(matches(RuleBuilder().compare(3, 0), -5000));
    EXPECT_TRUE(matches(RuleBuilder().compare(2, -5000), -5000));
    EXPECT_TRUE(matches(RuleBuilder().range(1, INT_MIN, 0, 0), -5000));
    EXPECT_FALSE(matches(RuleBuilder().range(0, 0, 1, 999999999), -5000));
    // The extremes of two int32 factors stay inside 64 bits.
    EXPECT_TRUE(matches(RuleBuilder().compare(4, INT_MAX), std::int64_t{INT_MIN} * INT_MIN));
    EXPECT_TRUE(matches(RuleBuilder().compare(0, INT_MIN), std::int64_t{INT_MIN} * INT_MAX));
}

}  // namespace
