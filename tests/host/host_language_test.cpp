// pixtagger-host in its user's language: each kind of text for people in
// the Japanese catalog's words, and what programs read (the classify lines,
// --json, exit statuses) the same bytes as in English. Natively the user's
// language is gettext's LANGUAGE; on Windows the UI language, which Wine
// takes from LC_ALL.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host_run.h"
#include "image_files.h"
#include "temp_dir.h"

namespace {

HostEnvironment japanese() {
#if defined(_WIN32)
    return {{"LANGUAGE", ""}, {"LANG", ""}, {"LC_ALL", "ja_JP.UTF-8"}};
#else
    return {{"LANGUAGE", "ja"}, {"LC_ALL", "C.UTF-8"}};
#endif
}

struct LanguageCase {
    const char* kind;
    std::vector<std::string> args;  // IMAGES, RULES and MISSING stand for the fixture's paths
    const char* japanese;  // in what the Japanese run prints, never in the English run's
    bool programsReadOut;  // stdout: the same bytes in both languages
};

const LanguageCase kCases[] = {
    {"help", {"rules", "add", "--help"}, "使用法: pixtagger-host rules add [オプション]", false},
    {"usage error", {"classify"}, "画像ファイル、動画ファイル、フォルダーのいずれも指定されていません", true},
    {"a file's reason",
     {"classify", "--config", "RULES", "IMAGES", "MISSING"},
     "そのようなファイルやフォルダーはありません",
     true},
    {"summary, its plural",
     {"classify", "--config", "RULES", "IMAGES", "MISSING"},
     "2 個のファイルを分類しました。読み込めなかったファイル: 0 個",
     true},
    {"sidecars, JSON",
     {"classify", "--json", "--xmp", "--dry-run", "--config", "RULES", "IMAGES"},
     "サイドカー（試行のみ、書き込みなし）: 作成予定 2、更新予定 0",
     true},
    {"images, a dry run's lines",
     {"classify", "--embed", "--dry-run", "--config", "RULES", "IMAGES"},
     "a.png に書き込みます: + lr:hierarchicalSubject \"small\"",
     false},
    {"the rules listing's words", {"rules", "list", "--config", "RULES"}, "1\t有効\tsmall", false},
    {"rules as JSON, the shipped examples' note", {"rules", "list", "--json"}, "同梱の例", true},
    {"a rules refusal", {"rules", "add", "--config", "RULES", "--area", "< 5"}, "rules add: 属性名が必要です", true},
    {"a rule file's problems", {"rules", "check", "--config", "RULES"}, "ルールのキーではありません", false},
};

class HostLanguage : public ::testing::TestWithParam<LanguageCase> {
protected:
    void SetUp() override {
        std::filesystem::create_directories(images);
        writePng((images / "a.png").string(), 20, 10);
        writeBmp((images / "b.bmp").string(), 30, 20);
        // One rule, and a key no rule has: rules check's one problem.
        writeBytes(rules, "[Conditions]\r\nnum=1\r\n[Condition0]\r\n_attName=small\r\n_a=1000\r\n_cmbA=0\r\nx=1\r\n");
    }

    std::vector<std::string> arguments(const std::vector<std::string>& args) const {
        std::vector<std::string> out;
        for (const std::string& a : args)
            out.push_back(a == "IMAGES" ? images.string() : a == "RULES" ? rules : a == "MISSING" ? missing : a);
        return out;
    }

    TempDir dir;
    std::filesystem::path images = dir.path() / "images";
    std::string rules = dir.file("rules.ini");
    std::string missing = dir.file("missing.png");
};

TEST_P(HostLanguage, SpeaksJapaneseAndKeepsWhatProgramsRead) {
    const LanguageCase& c = GetParam();
    const HostRun english = runHost(arguments(c.args), dir);
    const HostRun inJapanese = runHost(arguments(c.args), dir, "", "", "", japanese());
    EXPECT_EQ(inJapanese.status, english.status) << inJapanese.err;
    EXPECT_NE((inJapanese.out + inJapanese.err).find(c.japanese), std::string::npos)
        << inJapanese.out << inJapanese.err;
    EXPECT_EQ((english.out + english.err).find(c.japanese), std::string::npos) << english.out << english.err;
    if (c.programsReadOut) {
        EXPECT_EQ(inJapanese.out, english.out);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, HostLanguage, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                             std::string name;
                             for (const char* c = info.param.kind; *c != '\0'; ++c)
                                 if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z')) name += *c;
                             return name;
                         });

}  // namespace
