// ProfileFile against the platform's profile functions: our stand-in natively,
// Win32 itself under wine64. Every expectation here holds for both.
#include <gtest/gtest.h>

#include <boost/lexical_cast.hpp>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "config/profile_file.h"
#include "temp_dir.h"

namespace {

// The value part of the first "key=" line of the file, as stored.
std::optional<std::string> storedLine(const std::string& path, const std::string& key) {
    std::istringstream lines(readBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

class ProfileFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("rules.ini");
    ProfileFile profile{path};
};

TEST_F(ProfileFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
    EXPECT_EQ(profile.get("S", "k", std::int32_t{7}), 7);
    EXPECT_EQ(profile.get("S", "k", std::int32_t{INT_MIN}), INT_MIN);
    EXPECT_EQ(profile.get("S", "k", std::uint32_t{4294967295u}), 4294967295u);
    EXPECT_EQ(profile.get("S", "k", std::string()), "");
    EXPECT_EQ(profile.get("S", "k", std::string("fallback")), "fallback");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ProfileFileTest, MissingSectionOrKeyGivesDefault) {
    writeBytes(path, "[S]\r\nk=5\r\n");
    EXPECT_EQ(profile.get("T", "k", std::int32_t{3}), 3);
    EXPECT_EQ(profile.get("S", "other", std::int32_t{3}), 3);
    EXPECT_EQ(profile.get("s", "K", std::int32_t{3}), 5);  // names ignore letter case
}

TEST_F(ProfileFileTest, EmptyValueIsNotMissing) {
    writeBytes(path, "[S]\r\nk=\r\n");
    EXPECT_EQ(profile.get("S", "k", std::string("default")), "");
    EXPECT_THROW(profile.get("S", "k", std::int32_t{1}), boost::bad_lexical_cast);
    EXPECT_THROW(profile.get("S", "k", std::uint32_t{1}), boost::bad_lexical_cast);
}

struct IntegerCase {
    const char* stored;
    std::optional<std::int32_t> asInt32;
    std::optional<std::uint32_t> asUint32;
};

class IntegerTexts : public ProfileFileTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerTexts, ParseByTheIntegerTextRules) {
    const IntegerCase& c = GetParam();
    writeBytes(path, std::string("[S]\r\nk=") + c.stored + "\r\n");
    if (c.asInt32) {
        EXPECT_EQ(profile.get("S", "k", std::int32_t{99}), *c.asInt32);
    } else {
        EXPECT_THROW(profile.get("S", "k", std::int32_t{99}), boost::bad_lexical_cast);
    }
    if (c.asUint32) {
        EXPECT_EQ(profile.get("S", "k", std::uint32_t{99}), *c.asUint32);
    } else {
        EXPECT_THROW(profile.get("S", "k", std::uint32_t{99}), boost::bad_lexical_cast);
    }
}

const std::nullopt_t invalid = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerTexts,
    ::testing::Values(IntegerCase{"0", 0, 0u}, IntegerCase{"+42", 42, 42u}, IntegerCase{"-42", -42, 4294967254u},
                      IntegerCase{"007", 7, 7u}, IntegerCase{"2147483647", INT_MAX, 2147483647u},
                      IntegerCase{"2147483648", invalid, 2147483648u}, IntegerCase{"-2147483648", INT_MIN, 2147483648u},
                      IntegerCase{"4294967295", invalid, 4294967295u}, IntegerCase{"4294967296", invalid, invalid},
                      IntegerCase{"-1", -1, 4294967295u}, IntegerCase{"-0", 0, 0u}, IntegerCase{"+", invalid, invalid},
                      IntegerCase{"-", invalid, invalid}, IntegerCase{"1 2", invalid, invalid},
                      IntegerCase{"12a", invalid, invalid}, IntegerCase{"0x10", invalid, invalid},
                      IntegerCase{"1.5", invalid, invalid}, IntegerCase{"--1", invalid, invalid},
                      IntegerCase{"true", invalid, invalid}, IntegerCase{"1,000", invalid, invalid},
                      IntegerCase{"\"12\"", 12, 12u},  // quotes written by hand are removed first
                      IntegerCase{"\" 12\"", invalid, invalid},  // but a space inside them stays
                      IntegerCase{"  12  ", 12, 12u}));  // spaces around the value are the file's

TEST_F(ProfileFileTest, IntegersAreWrittenInTheirPlainDecimalForm) {
    profile.put("S", "neg", std::int32_t{-5});
    profile.put("S", "zero", std::int32_t{0});
    profile.put("S", "min", std::int32_t{INT_MIN});
    profile.put("S", "max", std::uint32_t{4294967295u});
    profile.put("S", "uzero", std::uint32_t{0});
    EXPECT_EQ(storedLine(path, "neg"), "-5");
    EXPECT_EQ(storedLine(path, "zero"), "0");
    EXPECT_EQ(storedLine(path, "min"), "-2147483648");
    EXPECT_EQ(storedLine(path, "max"), "4294967295");
    EXPECT_EQ(storedLine(path, "uzero"), "0");
    EXPECT_EQ(profile.get("S", "min", std::int32_t{0}), INT_MIN);
    EXPECT_EQ(profile.get("S", "max", std::uint32_t{0}), 4294967295u);
    EXPECT_THROW(profile.get("S", "max", std::int32_t{0}), boost::bad_lexical_cast);  // beyond int32
}

struct QuotingCase {
    std::string value;
    std::optional<std::string> stored;  // what the file holds after the key's '=', where fixed
    std::string readBack;  // what get returns
};

class Quoting : public ProfileFileTest, public ::testing::WithParamInterface<QuotingCase> {};

TEST_P(Quoting, ProtectsSpacesAndLeadingQuotes) {
    const QuotingCase& c = GetParam();
    profile.put("S", "k", c.value);
    if (c.stored) {
        EXPECT_EQ(storedLine(path, "k"), *c.stored);
    }
    EXPECT_EQ(profile.get("S", "k", std::string("default")), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(Table, Quoting,
                         ::testing::Values(QuotingCase{" abc", "\" abc\"", " abc"},
                                           QuotingCase{"abc ", "\"abc \"", "abc "}, QuotingCase{" ", "\" \"", " "},
                                           QuotingCase{"  two  ", "\"  two  \"", "  two  "},
                                           QuotingCase{"\"abc\"", "\"\"abc\"\"", "\"abc\""},
                                           QuotingCase{"\"open", "\"\"open\"", "\"open"},
                                           QuotingCase{"a\"b", "a\"b", "a\"b"}, QuotingCase{"abc\"", "abc\"", "abc\""},
                                           QuotingCase{"", "", ""}, QuotingCase{"plain", "plain", "plain"},
                                           // A tab is not protected: stored bare by the stand-in,
                                           // dropped by Win32 (Wine) on writing, trimmed by both on reading.
                                           QuotingCase{"\tabc", std::nullopt, "abc"},
                                           // CP932: 表 and ソ end in 0x5C, 　 is a full-width space.
                                           QuotingCase{"\x95\x5c\x83\x5c", "\x95\x5c\x83\x5c", "\x95\x5c\x83\x5c"},
                                           QuotingCase{" \x91\xe5", "\" \x91\xe5\"", " \x91\xe5"},
                                           QuotingCase{"\x81\x40x\x81\x40", "\x81\x40x\x81\x40", "\x81\x40x\x81\x40"}));

TEST_F(ProfileFileTest, LongValuesComeBackWhole) {
    // Half ASCII, half two-byte CP932 characters (漢), so a cut at 511 bytes
    // would also split a character. Win32 (Wine) garbles values beyond 32767
    // characters, so the longest here stays below that.
    std::vector<std::string> values;
    for (std::size_t n : {510u, 511u, 512u, 513u, 600u, 1023u, 1024u, 1025u, 5000u, 20000u}) {
        values.push_back(std::string(n, 'x'));
        std::string cp932 = "a";
        while (cp932.size() + 2 <= n) cp932 += "\x8a\xbf";
        values.push_back(cp932);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        profile.put("Long", ("k" + std::to_string(i)).c_str(), values[i]);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string got = profile.get("Long", ("k" + std::to_string(i)).c_str(), std::string());
        EXPECT_TRUE(got == values[i]) << "value " << i << " of " << values[i].size() << " bytes came back with "
                                      << got.size();
    }
    const std::string spaced = " " + values[8] + " ";
    profile.put("Long", "quoted", spaced);
    EXPECT_TRUE(profile.get("Long", "quoted", std::string()) == spaced);
}

TEST_F(ProfileFileTest, ChangesByOthersAreSeenByTheNextCall) {
    ProfileFile other(path);
    profile.put("S", "k", std::int32_t{1});
    EXPECT_EQ(other.get("S", "k", std::int32_t{0}), 1);
    other.put("S", "k", std::int32_t{2});
    EXPECT_EQ(profile.get("S", "k", std::int32_t{0}), 2);
    for (int round = 0; round < 20; ++round) {  // same size, same second, written in place
        writeBytes(path, "[S]\r\nk=" + std::to_string(round % 10) + "\r\n");
        EXPECT_EQ(profile.get("S", "k", std::int32_t{-1}), round % 10);
    }
}

TEST_F(ProfileFileTest, FailedWritesChangeNothingAndAreNotReported) {
    ProfileFile nowhere(dir.file("missing-folder/rules.ini"));
    EXPECT_NO_THROW(nowhere.put("S", "k", std::string("v")));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing-folder"));

#if !defined(_WIN32)
    // Wine, run as root here, writes read-only files anyway; the stand-in
    // refuses them as Windows does.
    profile.put("S", "k", std::string("kept"));
    const std::string before = readBytes(path);
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_NO_THROW(profile.put("S", "k", std::string("changed")));
    EXPECT_NO_THROW(profile.put("T", "new", std::int32_t{1}));
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(profile.get("S", "k", std::string()), "kept");
#endif
}

}  // namespace
