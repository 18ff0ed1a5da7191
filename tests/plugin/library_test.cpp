// The built library seen from a host: it loads, its exports resolve by name
// (and on Windows by their fixed ordinals), and calls cross the boundary.
#include <gtest/gtest.h>

#include <string>

#include "pixtagger.h"
#include "plugin/plugin_library.h"
#include "temp_dir.h"

namespace {

struct Export {
    unsigned ordinal;
    const char* name;
};

// Exports built so far; ordinal 1 comes with the dialogs.
constexpr Export kExports[] = {
    {2, "acGetAC"},       {3, "acGetAttName"}, {4, "acGetAttNum"},  {5, "acGetCatPath"}, {6, "acGetRequireOfPIState"},
    {7, "acGetSummary"},  {8, "acGetVersion"}, {9, "acLoadConfig"}, {10, "acReleaseAC"}, {11, "acReleaseConfig"},
    {12, "acSaveConfig"},
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

// The host's whole calling order through the loaded library: load the rules
// from a file, classify, read the names, save, release.
TEST_F(Library, HostCallingOrderAcrossTheBoundary) {
    TempDir dir;
    const std::string rules = dir.file("rules.ini");
    writeBytes(rules,
               "[Conditions]\r\nnum=2\r\n"
               "[Condition0]\r\n_attName=Large\r\n_catName=Size\r\n_a=2000000\r\n_cmbA=3\r\n"
               "[Condition1]\r\n_attName=Any\r\n_a=0\r\n_cmbA=3\r\n");
    ConditionList* list = lib.get<PFN_acLoadConfig>("acLoadConfig")(rules.c_str());
    ASSERT_NE(list, nullptr);

    ImageRecord panorama{};
    panorama.stateFlags = PIXTAGGER_REQUIRED_STATE;
    panorama.width = 100000;
    panorama.height = 50000;
    AttributeResult* result = lib.get<PFN_acGetAC>("acGetAC")(&panorama, list);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(lib.get<PFN_acGetAttNum>("acGetAttNum")(result), 2);
    EXPECT_STREQ(lib.get<PFN_acGetAttName>("acGetAttName")(result, 0), "Large");
    EXPECT_STREQ(lib.get<PFN_acGetCatPath>("acGetCatPath")(result, 0), "Size");
    EXPECT_STREQ(lib.get<PFN_acGetAttName>("acGetAttName")(result, 1), "Any");
    EXPECT_EQ(lib.get<PFN_acGetCatPath>("acGetCatPath")(result, 1), nullptr);

    const std::string copy = dir.file("copy.ini");
    lib.get<PFN_acSaveConfig>("acSaveConfig")(list, copy.c_str());
    lib.get<PFN_acReleaseConfig>("acReleaseConfig")(list);
    EXPECT_STREQ(lib.get<PFN_acGetAttName>("acGetAttName")(result, 0), "Large");  // a copy, still valid
    lib.get<PFN_acReleaseAC>("acReleaseAC")(result);

    ConditionList* again = lib.get<PFN_acLoadConfig>("acLoadConfig")(copy.c_str());
    ASSERT_NE(again, nullptr);
    panorama.width = 10;
    panorama.height = 10;
    result = lib.get<PFN_acGetAC>("acGetAC")(&panorama, again);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(lib.get<PFN_acGetAttNum>("acGetAttNum")(result), 1);
    lib.get<PFN_acReleaseAC>("acReleaseAC")(result);
    lib.get<PFN_acReleaseConfig>("acReleaseConfig")(again);
    EXPECT_EQ(lib.get<PFN_acLoadConfig>("acLoadConfig")(nullptr), nullptr);
}

}  // namespace
