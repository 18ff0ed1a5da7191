// The identity exports answer before any list exists and never allocate.
#include <gtest/gtest.h>

#include "alloc_counter.h"
#include "pixtagger.h"

namespace {

TEST(Identity, AnswersWithoutAListAndWithoutAllocating) {
    alloc_counter::reset();
    EXPECT_STREQ(acGetVersion(), "1.0.0.1");
    EXPECT_EQ(acGetRequireOfPIState(), 8);
    EXPECT_EQ(acGetRequireOfPIState(), PIXTAGGER_REQUIRED_STATE);
    const char* summary = acGetSummary();
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(acGetSummary(), summary);  // static, the same text each time
    EXPECT_EQ(acGetVersion(), acGetVersion());
    EXPECT_EQ(alloc_counter::count(), 0);
}

}  // namespace
