// pixtagger-host rules end to end: each command's file read back through the
// plug-in (acLoadConfig, acSaveConfig, and classification by classify), and
// rules check on broken files, natively and under wine64 (Win32's own
// profile functions).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host_run.h"
#include "pixtagger.h"
#include "plugin/plugin_library.h"
#include "system/program_location.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr const char* kPlugin = "pixtagger.dll";
#else
constexpr const char* kPlugin = "pixtagger.so";
#endif

const fs::path kExamples = programDirectory() / ".." / ".." / "examples";

std::string u8(const fs::path& path) { return fs::path(path).make_preferred().u8string(); }

// Each example image's attributes, in sorted order: "a,b | c | - | …".
std::string classified(const TempDir& dir, const std::vector<std::string>& config) {
    std::vector<std::string> args = {"classify"};
    args.insert(args.end(), config.begin(), config.end());
    args.push_back(u8(kExamples / "images"));
    const HostRun run = runHost(args, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("pixtagger-host: using"), std::string::npos) << "not the user's own file: " << run.err;
    std::string out;
    for (const std::string& line : linesOf(run.out)) {
        std::string names = line.substr(line.rfind('\t') + 1);
        for (std::size_t at; (at = names.find(" [")) != std::string::npos;)
            names.erase(at, names.find(']', at) - at + 1);
        for (std::size_t at; (at = names.find(", ")) != std::string::npos;) names.replace(at, 2, ",");
        out += (out.empty() ? "" : " | ") + (names == "(no matching rule)" ? "-" : names);
    }
    return out;
}

// What the plug-in's own acSaveConfig makes of the file it loads: a file
// written as acSaveConfig writes it comes back byte for byte.
std::string resavedByPlugin(const TempDir& dir, const fs::path& file) {
    const PluginLibrary plugin(programDirectory() / kPlugin);
    const auto load = plugin.get<PFN_acLoadConfig>("acLoadConfig");
    const auto save = plugin.get<PFN_acSaveConfig>("acSaveConfig");
    const auto release = plugin.get<PFN_acReleaseConfig>("acReleaseConfig");
    const std::string copy = dir.file("resaved.ini");
    writeBytes(copy, readBytes(file.string()));
    ConditionList* list = load(file.string().c_str());
    if (list == nullptr) return "(acLoadConfig refused it)";
    save(list, copy.c_str());
    release(list);
    return readBytes(copy);
}

const char* const kShipped =
    "\xE3\x82\xB5\xE3\x83\xA0\xE3\x83\x8D\xE3\x82\xA4\xE3\x83\xAB | "  // icon
    "\xE5\x8D\xB0\xE5\x88\xB7,\xE3\x83\x91\xE3\x83\x8E\xE3\x83\xA9\xE3\x83\x9E | "  // panorama
    "\xE7\x94\xBB\xE9\x9D\xA2,\xE8\xA1\xA8\xE7\xA4\xBA\xE7\x94\xA8 | "  // photo
    "\xE5\x8D\xB0\xE5\x88\xB7 | "  // print
    "\xE7\x94\xBB\xE9\x9D\xA2,\xE8\xA1\xA8\xE7\xA4\xBA\xE7\x94\xA8 | "  // screen
    "\xE3\x82\xB5\xE3\x83\xA0\xE3\x83\x8D\xE3\x82\xA4\xE3\x83\xAB | "  // thumb
    "Web,\xE8\xA1\xA8\xE7\xA4\xBA\xE7\x94\xA8";  // web

// The shipped rules as acSaveConfig writes them: the file less its comments.
std::string shippedAsSaved() {
    std::string shipped = readBytes((kExamples / "rules.ini").string());
    while (shipped[0] == ';') shipped.erase(0, shipped.find('\n') + 1);
    return shipped;
}

// A rule 'NAME < A' of the given section as acSaveConfig writes it.
std::string savedRule(int index, const std::string& name, int a) {
    return "[Condition" + std::to_string(index) + "]\r\n_bEnable=1\r\n_attName=" + name +
           "\r\n_catName=\r\n_type=0\r\n_a=" + std::to_string(a) +
           "\r\n_b1=0\r\n_b2=999999999\r\n_cmbA=0\r\n_cmbB1=0\r\n_cmbB2=0\r\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// The shipped examples, made with rules add alone, into the user's own file
// (seven host runs: only the cases that need them make them).
class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        // A user who starts from no rules: a first add would start from the shipped ones.
        fs::create_directories(rules.parent_path());
        writeBytes(rules.string(), "");
        const std::vector<std::vector<std::string>> adds = {
            {"サムネイル", "サイズ", "--area", "< 40000"},
            {"Web", "サイズ", "--range", "40000 <= area < 1000000"},
            {"画面", "サイズ", "--range", "1000000 ≦ 面積 ≦ 4000000"},
            {"印刷", "サイズ", "--area", ">= 6000000"},
            {"パノラマ", "形", "--area", "＞ 2147483647"},
            {"表示用", "用途", "--range", "300000 ≦ area <= 2500000"},
            {"VGA", "", "--area", "= 307200", "--disabled"},
        };
        for (const auto& add : adds) {
            std::vector<std::string> args = {"rules", "add", "--attribute", add[0], "--category", add[1]};
            args.insert(args.end(), add.begin() + 2, add.end());
            const HostRun run = runHost(args, dir);
            ASSERT_EQ(run.status, 0) << run.err;
        }
    }

    TempDir dir;
    const fs::path rules = userRuleFile(dir);
};

TEST_F(Rules, ARuleSetMadeOnlyWithRulesAddClassifiesTheExamplesAsTheShippedRulesDo) {
    EXPECT_EQ(classified(dir, {}), kShipped);
    EXPECT_EQ(classified(dir, {"--config", u8(kExamples / "rules.ini")}), kShipped);
    EXPECT_EQ(readBytes(rules.string()), shippedAsSaved());
    EXPECT_EQ(linesOf(runHost({"rules", "list", "--json"}, dir).out)[1],
              "{\"number\":2,\"enabled\":true,\"attribute\":\"Web\",\"category\":\"サイズ\",\"condition\":\"40000 ≦ "
              "面積 ＜ 1000000\",\"type\":1,\"a\":999999999,\"cmbA\":0,\"b1\":40000,\"cmbB1\":1,\"b2\":1000000,"
              "\"cmbB2\":0}");
    // Without a file of the user's own, classify says which one it reads.
    const TempDir other;
    const HostRun shippedRun = runHost({"classify", u8(kExamples / "images" / "icon.bmp")}, other);
    EXPECT_NE(shippedRun.err.find("pixtagger-host: using the shipped examples"), std::string::npos) << shippedRun.err;
}

// One file through a sequence of commands; after each, the file is what
// acSaveConfig writes, and a refused or idle command leaves it untouched.
TEST_F(Rules, EachCommandChangesTheFileAsTheEditorWouldOrNotAtAll) {
    const std::string missing = dir.file("missing.ini");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;  // in stdout or stderr
        const char* classified;  // nullptr: the file must not change; "": it classifies as before
    } steps[] = {
        {{"set", "2", "--attribute", "ウェブ", "--range", "19200 <= area < 1000000"},
         0,
         "2\tenabled\tウェブ\tサイズ\t19200 ≦ 面積 ＜ 1000000",
         "サムネイル | 印刷,パノラマ | 画面,表示用 | 印刷 | 画面,表示用 | サムネイル,ウェブ | ウェブ,表示用"},
        {{"disable", "1"},
         0,
         "1\tdisabled",
         "- | 印刷,パノラマ | 画面,表示用 | 印刷 | 画面,表示用 | ウェブ | ウェブ,表示用"},
        {{"disable", "1"}, 0, "unchanged", nullptr},
        {{"enable", "1"},
         0,
         "1\tenabled",
         "サムネイル | 印刷,パノラマ | 画面,表示用 | 印刷 | 画面,表示用 | サムネイル,ウェブ | ウェブ,表示用"},
        {{"remove", "4"},
         0,
         "4\tenabled\t印刷",
         "サムネイル | パノラマ | 画面,表示用 | - | 画面,表示用 | サムネイル,ウェブ | ウェブ,表示用"},
        // 表 is 0x95 0x5C in CP932: its second byte is no backslash.
        {{"add", "--attribute", "表", "--area", "<= 1024"},
         0,
         "7\tenabled\t表\t\t面積 ≦ 1024",
         "サムネイル,表 | パノラマ | 画面,表示用 | - | 画面,表示用 | サムネイル,ウェブ | ウェブ,表示用"},
        {{"set", "6", "--area", "=1024"}, 0, "6\tdisabled\tVGA\t\t面積 ＝ 1024", ""},
        {{"set", "6", "--category", "古い"}, 0, "6\tdisabled\tVGA\t古い", ""},
        {{"enable", "6"},
         0,
         "6\tenabled\tVGA\t古い\t面積 ＝ 1024",
         "サムネイル,VGA,表 | パノラマ | 画面,表示用 | - | 画面,表示用 | サムネイル,ウェブ | ウェブ,表示用"},
        {{"set", "9", "--attribute", "x"}, 2, "no rule 9: the file holds 7 rules", nullptr},
        {{"add", "--attribute", "a\\b", "--area", "< 1"}, 2, "cannot hold a backslash", nullptr},
        {{"add", "--attribute", "café", "--area", "< 1"}, 2, "'é' (U+00E9), which code page 932", nullptr},
        {{"add", "--attribute", "x", "--category", "图片", "--area", "< 1"}, 2, "'图' (U+56FE)", nullptr},
        {{"add", "--attribute", "x", "--area", "< 2147483648"}, 2, "beyond 2147483647", nullptr},
        {{"add", "--attribute", "x", "--range", "1 = area < 5"}, 2, "a range takes only < or <=", nullptr},
        {{"add", "--attribute", "x", "--area", "< 1", "--range", "1 < area < 5"}, 2, "not both", nullptr},
        {{"remove", "1", "--config", u8(kExamples / "rules.ini")}, 2, "the shipped examples", nullptr},
        {{"enable", "1", "--config", missing}, 2, "no such rule file", nullptr},
    };
    std::string last = kShipped;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args[0] + " " + step.args[1]);
        const std::string before = readBytes(rules.string());
        const auto stamp = fs::last_write_time(rules);
        std::vector<std::string> args = {"rules"};
        args.insert(args.end(), step.args.begin(), step.args.end());
        const HostRun run = runHost(args, dir);
        EXPECT_EQ(run.status, step.status) << run.err;
        EXPECT_NE((run.out + run.err).find(step.message), std::string::npos) << run.out << run.err;
        if (step.classified == nullptr) {
            EXPECT_EQ(readBytes(rules.string()), before);
            EXPECT_EQ(fs::last_write_time(rules), stamp) << "rewritten with the same rules";
        } else {
            if (*step.classified != '\0') last = step.classified;
            EXPECT_EQ(classified(dir, {}), last);
        }
        EXPECT_EQ(resavedByPlugin(dir, rules), readBytes(rules.string()));
    }
    EXPECT_FALSE(fs::exists(missing));
    // A read-only file stays as it is, as the plug-in's own save leaves it.
    const std::string before = readBytes(rules.string());
    fs::permissions(rules, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const HostRun run = runHost({"rules", "disable", "2"}, dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("read-only"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(rules.string()), before);
}

// Broken files: rules check names each fault with its line; classify loads
// the file exactly when check finds nothing that refuses it, and otherwise
// names that fault.
TEST(RulesCheck, NamesTheLineOfEveryFault) {
    const TempDir dir;
    const struct {
        const char* file;
        std::vector<std::string> problems;  // after "FILE:"
        int refusal;  // the problem acLoadConfig stops at (it reads the keys in order), or -1
    } cases[] = {
        {"[Conditions]\r\nnum=+2\r\n[condition0]\r\n_a=007\r\n[CONDITION1]\r\n_b1=-0\r\n_type=1\r\n", {}, -1},
        {"[Conditions]\r\nnum=2\r\n[Condition0]\r\n[Condition1]\r\n_a=12abc\r\n",
         {"5: [Condition1] _a=12abc: not an integer from -2147483648 to 2147483647: acLoadConfig refuses the file"},
         0},
        // Profile semantics: ';' belongs to the value, one pair of quotes goes.
        {"[Conditions]\nnum=1\n[Condition0]\n_cmbA=1 ; at most\n_a=\" 12\"\n",
         {"4: [Condition0] _cmbA=1 ; at most: not an integer from -2147483648 to 2147483647: acLoadConfig refuses the "
          "file",
          "5: [Condition0] _a=\" 12\": not an integer from -2147483648 to 2147483647: acLoadConfig refuses the file"},
         1},
        {"[Conditions]\r\nnum=107374183\r\n",
         {"2: [Conditions] num=107374183: reads as 107374183 rules, more than the 107374182 the plug-in takes: "
          "acLoadConfig refuses the file"},
         0},
        {"[Conditions]\r\nnum=-1\r\n",
         {"2: [Conditions] num=-1: reads as 4294967295 rules, more than the 107374182 the plug-in takes: acLoadConfig "
          "refuses the file"},
         0},
        {"[Conditions]\r\nnum=3\r\n[Condition0]\r\n_type=2\r\n_cmbA=5\r\n_cmbB2=2\r\n_enable=0\r\n[Condition5]\r\n",
         // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one problem, split for width
         {"2: [Conditions] num=3: counts 3 rules, but the file has no [Condition1], [Condition2]: they load as empty "
          "rules, which match no image",
          "4: [Condition0] _type=2: neither 0 (compare) nor 1 (range): the plug-in reads it as a range",
          "5: [Condition0] _cmbA=5: not an operator (0 to 4: < <= = >= >)",
          "6: [Condition0] _cmbB2=2: not an operator (0 or 1: < <=): the range has no upper bound",
          "7: [Condition0] _enable=0: not a key of a rule: the plug-in ignores it",
          "8: [Condition5]: beyond the count (num=3): the plug-in does not read it (a save of fewer rules leaves such "
          "sections)"},
         -1},
        {"[Conditions]\r\nnum=1\r\n[Condition0]\r\n_cmbA=7\r\n_CMBA=0\r\n[Condition0]\r\n_a=x\r\n",
         {"4: [Condition0] _cmbA=7: not an operator (0 to 4: < <= = >= >): the rule matches no image",
          "5: [Condition0] _CMBA=0: a second _CMBA in [Condition0] (the first is on line 4): the plug-in reads only "
          "the first",
          "6: [Condition0]: a second [Condition0] (the first is on line 3): the plug-in reads only the first"},
         -1},
    };
    const std::string file = dir.file("broken.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeBytes(file, c.file);
        const HostRun check = runHost({"rules", "check", "--config", file}, dir);
        EXPECT_EQ(check.status, c.problems.empty() ? 0 : 1) << check.err;
        std::vector<std::string> expected;
        for (const std::string& problem : c.problems) expected.emplace_back(file + ":").append(problem);
        EXPECT_EQ(linesOf(check.out), expected);
        const HostRun run = runHost({"classify", "--config", file, u8(kExamples / "images" / "icon.bmp")}, dir);
        EXPECT_EQ(run.status, c.refusal < 0 ? 0 : 2) << run.err;
        if (c.refusal >= 0) {
            EXPECT_EQ(run.err, "pixtagger-host: " + expected[static_cast<std::size_t>(c.refusal)] + "\n");
        }
    }
}

TEST(RulesHelp, EverySubcommandShowsAnExample) {
    const TempDir dir;
    for (const char* command : {"list", "check", "add", "set", "remove", "enable", "disable"}) {
        const HostRun run = runHost({"rules", command, "--help"}, dir);
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(std::string("Example:\n  pixtagger-host rules ") + command), std::string::npos)
            << run.out;
    }
}

// Where a change starts and what it leaves: the user's first change starts
// from the shipped rules that rules list shows, and makes the user's own
// folder; a named file's folder is never made; a removal leaves no section
// beyond the count; a name is judged in code page 932 on any system (under
// Wine these cases run again with code page 1252: host_rules_cp1252).
TEST(RulesFile, AChangeStartsFromWhatListShowedAndLeavesOnlyItsRules) {
    const std::string shipped = shippedAsSaved(), add = "--attribute";
    const std::string withX = replaced(shipped, "num=7", "num=8") + savedRule(7, "X", 5);
    const std::string lessVga = replaced(shipped.substr(0, shipped.find("[Condition6]")), "num=7", "num=6");
    const std::string abc = "[Conditions]\r\nnum=3\r\n" + savedRule(0, "a", 1) + savedRule(1, "b", 2) +
                            savedRule(2, "c", 3);
    const std::string bc = "[Conditions]\r\nnum=2\r\n" + savedRule(0, "b", 2) + savedRule(1, "c", 3);
    const std::string table = "[Conditions]\r\nnum=1\r\n" + savedRule(0, "\x95\x5C", 100);
    const struct {
        const char* config;  // under the case's folder; nullptr: the user's own file
        const char* before;  // nullptr: no file (and for the user's, no folder)
        std::vector<std::string> args;
        int status;
        const char* message;
        const char* after;  // the file's bytes; empty: not there
    } cases[] = {
        {nullptr, nullptr, {"add", add, "X", "--area", "< 5"}, 0, "starting from the shipped examples", withX.c_str()},
        {nullptr, nullptr, {"remove", "7"}, 0, "7\tdisabled\tVGA", lessVga.c_str()},
        {"own.ini", abc.c_str(), {"remove", "1"}, 0, "1\tenabled\ta", bc.c_str()},
        {"own.ini", nullptr, {"add", add, "表", "--area", "< 100"}, 0, "1\tenabled\t表", table.c_str()},
        {"typo/dir/rules.ini", nullptr, {"add", add, "X", "--area", "< 5"}, 2, "no such folder", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + (c.config == nullptr ? "" : std::string(" --config ") + c.config));
        const TempDir dir;
        const fs::path file = c.config == nullptr ? userRuleFile(dir) : dir.path() / fs::u8path(c.config);
        if (c.before != nullptr) writeBytes(file.string(), c.before);
        std::vector<std::string> args = {"rules"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.config != nullptr) args.insert(args.end(), {"--config", u8(file)});
        const HostRun run = runHost(args, dir);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
        EXPECT_EQ(fs::exists(file) ? readBytes(file.string()) : std::string(), c.after);
        if (c.status == 0) {
            EXPECT_EQ(runHost({"rules", "check", "--config", u8(file)}, dir).out, "");
        }
        EXPECT_FALSE(fs::exists(dir.path() / "typo"));
    }
}

#if !defined(_WIN32)
// A relative XDG_CONFIG_HOME is no place for the user's file: ~/.config is.
TEST(RulesFile, ARelativeConfigHomeIsIgnored) {
    TempDir dir;
    const HostRun run = runHost({"rules", "add", "--attribute", "a", "--area", "< 5"}, dir, dir.path().string(), "", "",
                                {{"XDG_CONFIG_HOME", "relative"}, {"HOME", dir.file("home")}});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "home" / ".config" / "pixtagger" / "rules.ini"));
    EXPECT_FALSE(fs::exists(dir.path() / "relative"));
}
#endif

}  // namespace
