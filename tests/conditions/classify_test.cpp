// Classification of image records: the state bit, enabled rules, order of the
// results, and areas that a 32-bit product would wrap.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "conditions/classify.h"
#include "rule_builder.h"

namespace {

ImageRecord image(std::int32_t width, std::int32_t height, std::uint32_t flags = PIXTAGGER_REQUIRED_STATE) {
    ImageRecord r{};
    r.stateFlags = flags;
    r.width = width;
    r.height = height;
    return r;
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
    list.append(RuleBuilder().compare(3, 0).names("any", "Size"));
    const struct {
        std::uint32_t flags;
        bool classified;
    } cases[] = {{0, false}, {0xF7, false}, {0xFFFFFFF7u, false}, {0x0800, false},
                 {8, true},  {0xFF, true},  {0xFFFFFFFFu, true},  {0x80000008u, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(classify(image(10, 10, c.flags), list) != nullptr, c.classified) << std::hex << c.flags;
    }
}

TEST(Classify, NothingToReportGivesNull) {
    ConditionList empty;
    EXPECT_EQ(classify(image(100, 50), empty), nullptr);

    ConditionList disabled;
    disabled.append(RuleBuilder().compare(3, 0).names("would match", "").enabled(false));
    disabled.append(RuleBuilder().compare(1, INT_MAX).names("would match too", "").enabled(false));
    EXPECT_EQ(classify(image(100, 50), disabled), nullptr);

    ConditionList missing;
    missing.append(RuleBuilder().compare(0, 5000).names("small", "Size"));
    EXPECT_EQ(classify(image(100, 50), missing), nullptr);
}

TEST(Classify, ComparesWidthTimesHeight) {
    ConditionList atLeast;
    atLeast.append(RuleBuilder().compare(3, 5000).names("big enough", "Size"));
    EXPECT_EQ(entries(classify(image(100, 50), atLeast)), (Entries{{"big enough", "Size"}}));

    ConditionList above;
    above.append(RuleBuilder().compare(4, 5000).names("bigger", "Size"));
    EXPECT_EQ(classify(image(100, 50), above), nullptr);
    EXPECT_EQ(classify(image(50, 100), above), nullptr);
    EXPECT_NE(classify(image(101, 50), above), nullptr);
}

TEST(Classify, ResultsFollowListOrderWithDuplicatesAndSkipDisabledRules) {
    ConditionList list;
    list.append(RuleBuilder().compare(3, 0).names("Large", "Size"));
    list.append(RuleBuilder().compare(3, 0).names("off", "Size").enabled(false));
    list.append(RuleBuilder().compare(0, 10).names("tiny", "Size"));  // no match
    list.append(RuleBuilder().compare(1, 5000).names("Large", ""));
    list.append(RuleBuilder().compare(2, 5000).names("exact", "Exact/Area"));
    EXPECT_EQ(entries(classify(image(100, 50), list)),
              (Entries{{"Large", "Size"}, {"Large", ""}, {"exact", "Exact/Area"}}));
}

TEST(Classify, AreasDoNotWrapAtThirtyTwoBits) {
    ConditionList list;
    list.append(RuleBuilder().compare(3, 2000000).names("print", "Size"));
    list.append(RuleBuilder().compare(4, INT_MAX).names("panorama", "Size"));
    // Where 100000 x 50000 lands if the product wraps.
    list.append(RuleBuilder().range(1, 700000000, 1, 710000000).names("wrapped", ""));
    list.append(RuleBuilder().compare(1, 0).names("empty", "Size"));  // where 65536 x 65536 lands if it wraps

    EXPECT_EQ(entries(classify(image(100000, 50000), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    EXPECT_EQ(entries(classify(image(65536, 65536), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    EXPECT_EQ(entries(classify(image(INT_MAX, INT_MAX), list)), (Entries{{"print", "Size"}, {"panorama", "Size"}}));
    // Areas that fit in 32 bits classify exactly as before.
    EXPECT_EQ(entries(classify(image(26000, 27000), list)), (Entries{{"print", "Size"}, {"wrapped", ""}}));
}

TEST(Classify, NegativeDimensionsClassifyBySignedProduct) {
    ConditionList list;
    list.append(RuleBuilder().compare(0, 0).names("negative", "Size"));
    list.append(RuleBuilder().compare(2, 5000).names("five thousand", "Size"));
    list.append(RuleBuilder().compare(1, 0).names("not positive", "Size"));
    EXPECT_EQ(entries(classify(image(-100, 50), list)), (Entries{{"negative", "Size"}, {"not positive", "Size"}}));
    EXPECT_EQ(entries(classify(image(-100, -50), list)), (Entries{{"five thousand", "Size"}}));
    EXPECT_EQ(entries(classify(image(0, -7), list)), (Entries{{"not positive", "Size"}}));
    EXPECT_EQ(entries(classify(image(INT_MIN, INT_MAX), list)),
              (Entries{{"negative", "Size"}, {"not positive", "Size"}}));
    EXPECT_EQ(classify(image(INT_MIN, INT_MIN), list), nullptr);
}

TEST(Classify, ReadsOnlyTheHostsThreeFields) {
    ConditionList list;
    list.append(RuleBuilder().compare(2, 12).names("twelve", "Size"));
    ImageRecord r = image(3, 4);
    for (auto& b : r.hostFields) b = 0xAB;
    EXPECT_EQ(entries(classify(r, list)), (Entries{{"twelve", "Size"}}));
}

}  // namespace
