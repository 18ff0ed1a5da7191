// The built library seen from a host: it loads, its exports resolve by name
// (and on Windows by their fixed ordinals), and calls cross the boundary.
#include <gtest/gtest.h>

#include <string>

#include "pixtagger.h"
#include "plugin_library.h"

namespace {

struct Export {
    unsigned ordinal;
    const char* name;
};

// Exports built so far; ordinals 1, 9 and 12 come with the dialog and the
// rule file work.
constexpr Export kExports[] = {
    {2, "acGetAC"},       {3, "acGetAttName"},           {4, "acGetAttNum"},  {5, "acGetCatPath"},
    {6, "acGetRequireOfPIState"}, {7, "acGetSummary"},   {8, "acGetVersion"}, {10, "acReleaseAC"},
    {11, "acReleaseConfig"},
};

class Library : public ::testing::Test {
protected:
    PluginLibrary lib{PIXTAGGER_LIBRARY_PATH};
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << PIXTAGGER_LIBRARY_PATH << ": " << lib.error(); }
};

TEST_F(Library, EveryExportResolvesByNameAndOrdinal) {
    for (const Export& e : kExports) {
        void* byName = lib.byName(e.name);
        EXPECT_NE(byName, nullptr) << e.name;
#if defined(_WIN32)
        EXPECT_EQ(lib.byOrdinal(e.ordinal), byName) << e.name << " is not at ordinal " << e.ordinal;
#endif
    }
}

TEST_F(Library, IdentityAndNullHandlesAcrossTheBoundary) {
    EXPECT_STREQ(lib.get<PFN_acGetVersion>("acGetVersion")(), "1.0.0.1");
    EXPECT_EQ(lib.get<PFN_acGetRequireOfPIState>("acGetRequireOfPIState")(), 8);
    EXPECT_EQ(std::string(lib.get<PFN_acGetSummary>("acGetSummary")()).size(), 30u);  // 15 two-byte characters
    ImageRecord img{};
    img.stateFlags = PIXTAGGER_REQUIRED_STATE;
    EXPECT_EQ(lib.get<PFN_acGetAC>("acGetAC")(&img, nullptr), nullptr);
    EXPECT_EQ(lib.get<PFN_acGetAttNum>("acGetAttNum")(nullptr), 0);
    EXPECT_EQ(lib.get<PFN_acGetAttName>("acGetAttName")(nullptr, 0), nullptr);
    EXPECT_EQ(lib.get<PFN_acGetCatPath>("acGetCatPath")(nullptr, 0), nullptr);
    lib.get<PFN_acReleaseAC>("acReleaseAC")(nullptr);
    lib.get<PFN_acReleaseConfig>("acReleaseConfig")(nullptr);
}

}  // namespace
