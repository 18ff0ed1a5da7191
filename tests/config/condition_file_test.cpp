// acLoadConfig and acSaveConfig on real files: the layout, the values of
// missing keys, what makes a load fail, round trips and exhausted memory.
// The same expectations hold for our stand-in and for Win32 (wine64).
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "alloc_counter.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"
#include "rule_builder.h"
#include "temp_dir.h"

namespace {

// Lists the host owns, released through the export.
struct ListDeleter {
    void operator()(ConditionList* list) const { acReleaseConfig(list); }
};
using List = std::unique_ptr<ConditionList, ListDeleter>;

List load(const std::string& path) { return List(acLoadConfig(path.c_str())); }

// What a rule section with no keys at all loads as.
Condition missingKeys() { return RuleBuilder().keys(0, 0, 0, 0, 0, 0, 0); }

ConditionList listOf(const std::vector<Condition>& rules) {
    ConditionList list;
    for (const Condition& c : rules) list.append(c);
    return list;
}

std::vector<std::string> lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

class ConditionFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("rules.ini");
};

struct LoadCase {
    const char* name;
    const char* ini;
    std::optional<std::vector<Condition>> expected;  // nullopt: the load returns null
};

class LoadTable : public ConditionFile, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTable, GivesTheListOrNull) {
    const LoadCase& c = GetParam();
    writeBytes(path, c.ini);
    const List list = load(path);
    if (!c.expected) {
        EXPECT_EQ(list, nullptr);
        return;
    }
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(*list, listOf(*c.expected));
}

const LoadCase kLoadCases[] = {
    {"EmptyFile", "", std::vector<Condition>{}},
    {"NumZeroWithSections", "[Conditions]\nnum=0\n[Condition0]\n_attName=ignored\n", std::vector<Condition>{}},
    {"NoNumKey", "[Conditions]\nother=3\n[Condition0]\n_attName=ignored\n", std::vector<Condition>{}},
    {"TwoWithoutSections", "[Conditions]\nnum=2\n", std::vector<Condition>{missingKeys(), missingKeys()}},
    {"OnlyAName", "[Conditions]\nnum=1\n[Condition0]\n_attName=Large\n",
     std::vector<Condition>{RuleBuilder(missingKeys()).names("Large", "")}},
    {"NumMinusOne", "[Conditions]\nnum=-1\n", std::nullopt},
    {"NumOverLimit", "[Conditions]\nnum=107374183\n", std::nullopt},
    {"NumNotANumber", "[Conditions]\nnum=two\n", std::nullopt},
    {"NumEmpty", "[Conditions]\nnum=\n", std::nullopt},
    {"EnableFive", "[Conditions]\nnum=1\n[Condition0]\n_bEnable=5\n", std::vector<Condition>{missingKeys()}},
    {"EnableZero", "[Conditions]\nnum=1\n[Condition0]\n_bEnable=0\n",
     std::vector<Condition>{RuleBuilder(missingKeys()).enabled(false)}},
    {"EnableMinusOne", "[Conditions]\nnum=1\n[Condition0]\n_bEnable=-1\n", std::vector<Condition>{missingKeys()}},
    {"EnableTrue", "[Conditions]\nnum=1\n[Condition0]\n_bEnable=true\n", std::nullopt},
    {"EmptyInteger", "[Conditions]\nnum=1\n[Condition0]\n_a=\n", std::nullopt},
    {"IntegerOverInt32", "[Conditions]\nnum=1\n[Condition0]\n_a=2147483648\n", std::nullopt},
    {"BadKeyInLastRule", "[Conditions]\nnum=2\n[Condition0]\n[Condition1]\n_cmbB2=1.5\n", std::nullopt},
    {"BadKeyBeyondCountIsNotRead", "[Conditions]\nnum=1\n[Condition1]\n_a=bad\n", std::vector<Condition>{missingKeys()}},
    {"ExtremesAndUnknownCodes",
     "[Conditions]\nnum=1\n[Condition0]\n_a=-2147483648\n_b1=2147483647\n_b2=-0\n_type=7\n_cmbA=9\n_cmbB1=-1\n"
     "_cmbB2=+3\n",
     std::vector<Condition>{RuleBuilder().keys(7, INT_MIN, INT_MAX, 0, 9, -1, 3)}},
    {"HandWrittenWithCommentsCaseAndCrLf",
     "; rules for the photo library\r\n\r\n[conditions]\r\nNUM = 2\r\n\r\n[CONDITION1]\r\n_ATTNAME = \" Medium\"\r\n"
     "_bEnable=0\r\n; a comment=1\r\n_Type=1\r\n[condition0]\r\n_AttName=Large\r\n_catname=Size\r\n_a=2000000\r\n"
     "_cmba=3\r\n",
     std::vector<Condition>{RuleBuilder().names("Large", "Size").keys(0, 2000000, 0, 0, 3, 0, 0),
                            RuleBuilder().enabled(false).names(" Medium", "").keys(1, 0, 0, 0, 0, 0, 0)}},
};

INSTANTIATE_TEST_SUITE_P(IniTexts, LoadTable, ::testing::ValuesIn(kLoadCases),
                         [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

// Two rules: Large (≧ 2000000) and, disabled, " Medium" (300000 ≦ area ＜ 2000000).
ConditionList workedExample() {
    return listOf({RuleBuilder().names("Large", "Size").keys(0, 2000000, 0, 999999999, 3, 0, 0),
                   RuleBuilder().enabled(false).names(" Medium", "Size").keys(1, 999999999, 300000, 2000000, 0, 1, 0)});
}

const char* const kWorkedExampleLines[] = {
    "[Conditions]",   "num=2",         "[Condition0]", "_bEnable=1",
    "_attName=Large", "_catName=Size", "_type=0",      "_a=2000000",
    "_b1=0",          "_b2=999999999", "_cmbA=3",      "_cmbB1=0",
    "_cmbB2=0",       "[Condition1]",  "_bEnable=0",   "_attName=\" Medium\"",
    "_catName=Size",  "_type=1",       "_a=999999999", "_b1=300000",
    "_b2=2000000",    "_cmbA=0",       "_cmbB1=1",     "_cmbB2=0",
};

TEST_F(ConditionFile, WorkedExampleSavesToExactlyTheseKeysAndLoadsBack) {
    const ConditionList list = workedExample();
    acSaveConfig(&list, path.c_str());
    const std::string bytes = readBytes(path);
    EXPECT_EQ(lines(bytes), std::vector<std::string>(std::begin(kWorkedExampleLines), std::end(kWorkedExampleLines)));
#if !defined(_WIN32)
    std::string expected;
    for (const char* line : kWorkedExampleLines) expected += std::string(line) + "\r\n";
    EXPECT_EQ(bytes, expected);  // our writer: CRLF, no blank lines
#endif
    const List loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(*loaded, list);
    EXPECT_EQ((*loaded)[1]._attName, " Medium");
}

TEST_F(ConditionFile, MissingFileGivesAnEmptyListAndCreatesNothing) {
    const List list = load(path);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ConditionFile, SavingFewerRulesLeavesTheRestInPlaceAndHidden) {
    std::vector<Condition> five;
    for (int i = 0; i < 5; ++i) {
        five.push_back(RuleBuilder().names("rule" + std::to_string(i), "").keys(0, i, 0, 0, 3, 0, 0));
    }
    const ConditionList all = listOf(five);
    acSaveConfig(&all, path.c_str());
    const ConditionList three = listOf({five[4], five[3], five[2]});
    acSaveConfig(&three, path.c_str());

    const std::vector<std::string> saved = lines(readBytes(path));
    EXPECT_NE(std::find(saved.begin(), saved.end(), "num=3"), saved.end());
    EXPECT_NE(std::find(saved.begin(), saved.end(), "[Condition4]"), saved.end());
    EXPECT_NE(std::find(saved.begin(), saved.end(), "_attName=rule4"), saved.end());
    const List loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(*loaded, three);
}

TEST_F(ConditionFile, EmptyListWritesOnlyTheCount) {
    const ConditionList empty;
    acSaveConfig(&empty, path.c_str());
    EXPECT_EQ(lines(readBytes(path)), (std::vector<std::string>{"[Conditions]", "num=0"}));
}

TEST_F(ConditionFile, SectionsFollowInNumberOrderAndKeysInTableOrder) {
    std::vector<Condition> eleven(11, missingKeys());
    const ConditionList list = listOf(eleven);
    acSaveConfig(&list, path.c_str());
    std::vector<std::string> expected = {"[Conditions]", "num=11"};
    for (int i = 0; i < 11; ++i) {
        expected.push_back("[Condition" + std::to_string(i) + "]");
        for (const char* key : {"_bEnable=1", "_attName=", "_catName=", "_type=0", "_a=0", "_b1=0", "_b2=0", "_cmbA=0",
                                "_cmbB1=0", "_cmbB2=0"}) {
            expected.push_back(key);
        }
    }
    EXPECT_EQ(lines(readBytes(path)), expected);
}

TEST_F(ConditionFile, RoundTripKeepsEveryNameAndNumber) {
    const std::string cp932 = "\x95\x5c\x8e\xa6\x83\x5c\x83\x74\x83\x67";  // 表示ソフト: 0x5C second bytes
    std::string longName;
    while (longName.size() < 3000)
        longName +=
            "\x8a\xbf"
            "x";  // 漢x..., far past 511 bytes
    const ConditionList list = listOf({
        RuleBuilder().names(" leading", "trailing ").keys(0, INT_MIN, INT_MAX, -1, 0, 0, 0),
        RuleBuilder().enabled(false).names("\"quoted\"", "\"open").keys(1, 0, INT_MIN, INT_MAX, 4, 1, 1),
        RuleBuilder().names(cp932, cp932 + "\\path").keys(-1, 999999999, -5, 5, -1, -1, -1),
        RuleBuilder().names(longName, std::string(600, 'c')).keys(INT_MAX, 1, 2, 3, INT_MIN, INT_MAX, 7),
        RuleBuilder().names(" ", "").keys(INT_MIN, 0, 0, 0, 2, 0, 0),
        RuleBuilder().names("a=b;c [d]", "#hash").keys(0, 0, 0, 0, 3, 0, 0),
    });
    acSaveConfig(&list, path.c_str());
    const List loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->size(), list.size());
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_TRUE((*loaded)[i] == list[i]) << "rule " << i;
}

TEST_F(ConditionFile, LoadedListClassifies) {
    const ConditionList list = workedExample();
    acSaveConfig(&list, path.c_str());
    List loaded = load(path);
    ASSERT_NE(loaded, nullptr);
    ImageRecord image{};
    image.stateFlags = PIXTAGGER_REQUIRED_STATE;
    image.width = 2000;
    image.height = 1000;
    AttributeResult* result = acGetAC(&image, loaded.get());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(acGetAttNum(result), 1);
    EXPECT_STREQ(acGetAttName(result, 0), "Large");
    acReleaseAC(result);
}

TEST_F(ConditionFile, NullArgumentsGetDefinedAnswers) {
    EXPECT_EQ(acLoadConfig(nullptr), nullptr);
    const ConditionList list = workedExample();
    acSaveConfig(nullptr, path.c_str());
    acSaveConfig(&list, nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ConditionFile, EachAllocationFailingInTurnLoadsNullAndLeaksNothing) {
    const ConditionList expected = workedExample();
    acSaveConfig(&expected, path.c_str());
    // Let the file age, so that copies the platform keeps are settled before
    // live allocations are counted.
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    load(path);

    const std::int64_t before = alloc_counter::live();
    int failures = 0;
    for (std::int64_t k = 0;; ++k) {
        ASSERT_LT(k, 10000) << "the load never completed";
        alloc_counter::failAfter(k);
        ConditionList* list = acLoadConfig(path.c_str());
        alloc_counter::disarm();
        if (list == nullptr) {
            ++failures;
            ASSERT_EQ(alloc_counter::live(), before) << "allocation " << k << " failed and leaked";
            continue;
        }
        EXPECT_EQ(*list, expected);
        acReleaseConfig(list);
        break;
    }
    EXPECT_EQ(alloc_counter::live(), before);
    EXPECT_GE(failures, 3);
}

TEST_F(ConditionFile, ExhaustedMemoryEndsASaveQuietlyWithTheKeysWrittenSoFar) {
    const ConditionList list = workedExample();
    const std::string reference = dir.file("reference.ini");
    acSaveConfig(&list, reference.c_str());
    const std::vector<std::string> all = lines(readBytes(reference));
    for (std::int64_t k = 0; k < 400; k += 7) {
        const std::string partial = dir.file("partial" + std::to_string(k) + ".ini");
        alloc_counter::failAfter(k);
        EXPECT_NO_THROW(acSaveConfig(&list, partial.c_str()));
        alloc_counter::disarm();
        // Whatever was written is the start of the full save, in order.
        const std::vector<std::string> got = lines(readBytes(partial));
        ASSERT_LE(got.size(), all.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << "after allocation " << k;
    }
}

}  // namespace
