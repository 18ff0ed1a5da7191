// Classification of image records: the state bit, enabled rules, order of the
// results, and areas that a 32-bit product would wrap.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "conditions/classify.h"

namespace {

ImageRecord image(std::int32_t width, std::int32_t height, std::uint32_t flags = PIXTAGGER_REQUIRED_STATE) {
    ImageRecord r{};
    r.stateFlags = flags;
    r.width = width;
    r.height = height;
    return r;
}

Condition rule(std::int32_t op, std::int32_t a, const std::string& att, const std::string& cat = "Size",
               bool enabled = true) {
    Condition c;
    c._bEnable = enabled;
    c._cmbA = op;
    c._a = a;
    c._attName = att;
    c._catName = cat;
    return c;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entries(const std::unique_ptr<AttributeResult>& r) {
    Entries out;
    if (!r) return out;
    EXPECT_EQ(r->attNames.size(), r->catPaths.size());
    for (std::size_t i = 0; i < r->attNames.size(); ++i) out.emplace_back(r->attNames[i], r->catPaths[i]);
    return out;
}

TEST(Classify, RequiresStateBitEightInTheFlags) {
    ConditionList list;
    list.append(rule(3, 0, "any"));
    const struct {
        std::uint32_t flags;
        bool classified;
    } cases[] = {{0, false},          {0xF7, false}, {0xFFFFFFF7u, false}, {0x0800, false},
                 {8, true},           {0xFF, true},  {0xFFFFFFFFu, true},  {0x80000008u, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(classify(image(10, 10, c.flags), list) != nullptr, c.classified) << std::hex << c.flags;
    }
}

TEST(Classify, NothingToReportGivesNull) {
    ConditionList empty;
    EXPECT_EQ(classify(image(100, 50), empty), nullptr);

    ConditionList disabled;
    disabled.append(rule(3, 0, "would match", "", false));
    disabled.append(rule(1, INT_MAX, "would match too", "", false));
    EXPECT_EQ(classify(image(100, 50), disabled), nullptr);

    ConditionList missing;
    missing.append(rule(0, 5000, "small"));
    EXPECT_EQ(classify(image(100, 50), missing), nullptr);
}

TEST(Classify, ComparesWidthTimesHeight) {
    ConditionList atLeast;
    atLeast.append(rule(3, 5000, "big enough"));
    EXPECT_EQ(entries(classify(image(100, 50), atLeast)), (Entries{{"big enough", "Size"}}));

    ConditionList above;
    above.append(rule(4, 5000, "bigger"));
    EXPECT_EQ(classify(image(100, 50), above), nullptr);
    EXPECT_EQ(classify(image(50, 100), above), nullptr);
    EXPECT_NE(classify(image(101, 50), above), nullptr);
}

TEST(Classify, ResultsFollowListOrderWithDuplicatesAndSkipDisabledRules) {
    ConditionList list;
    list.append(rule(3, 0, "Large", "Size"));
    list.append(rule(3, 0, "off", "Size", false));
    list.append(rule(0, 10, "tiny", "Size"));  // no match
    list.append(rule(1, 5000, "Large", ""));
    list.append(rule(2, 5000, "exact", "Exact/Area"));
    EXPECT_EQ(entries(classify(image(100, 50), list)),
              (Entries{{"Large", "Size"}, {"Large", ""}, {"exact", "Exact/Area"}}));
}

TEST(Classify, AreasDoNotWrapAtThirtyTwoBits) {
    ConditionList list;
    list.append(rule(3, 2000000, "print"));
    list.append(rule(4, INT_MAX, "panorama"));
    Condition wrapped;  // where 100000 x 50000 lands if the product wraps
    wrapped._type = 1;
    wrapped._cmbB1 = 1;
    wrapped._b1 = 700000000;
    wrapped._cmbB2 = 1;
    wrapped._b2 = 710000000;
    wrapped._attName = "wrapped";
    list.append(wrapped);
    list.append(rule(1, 0, "empty"));  // where 65536 x 65536 lands if it wraps

    EXPECT_EQ(entries(classify(image(100000, 50000), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    EXPECT_EQ(entries(classify(image(65536, 65536), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    EXPECT_EQ(entries(classify(image(INT_MAX, INT_MAX), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    // Areas that fit in 32 bits classify exactly as before.
    EXPECT_EQ(entries(classify(image(26000, 27000), list)), (Entries{{"print", "Size"}, {"wrapped", ""}}));
}

TEST(Classify, NegativeDimensionsClassifyBySignedProduct) {
    ConditionList list;
    list.append(rule(0, 0, "negative"));
    list.append(rule(2, 5000, "five thousand"));
    list.append(rule(1, 0, "not positive"));
    EXPECT_EQ(entries(classify(image(-100, 50), list)), (Entries{{"negative", "Size"}, {"not positive", "Size"}}));
    EXPECT_EQ(entries(classify(image(-100, -50), list)), (Entries{{"five thousand", "Size"}}));
    EXPECT_EQ(entries(classify(image(0, -7), list)), (Entries{{"not positive", "Size"}}));
    EXPECT_EQ(entries(classify(image(INT_MIN, INT_MAX), list)), (Entries{{"negative", "Size"}, {"not positive", "Size"}}));
    EXPECT_EQ(classify(image(INT_MIN, INT_MIN), list), nullptr);
}

TEST(Classify, ReadsOnlyTheHostsThreeFields) {
    ConditionList list;
    list.append(rule(2, 12, "twelve"));
    ImageRecord r = image(3, 4);
    for (auto& b : r.hostFields) b = 0xAB;
    EXPECT_EQ(entries(classify(r, list)), (Entries{{"twelve", "Size"}}));
}

}  // namespace
