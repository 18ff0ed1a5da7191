// pixtagger-host end to end: the built program, run on generated images and
// rule files, checked by its output, its JSON and its exit status. Runs
// natively and under wine64 (where the Windows Imaging Component reads).
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host_run.h"
#include "image_files.h"
#include "system/program_location.h"
#include "temp_dir.h"

namespace {

std::string native(const std::filesystem::path& p) { return std::filesystem::path(p).make_preferred().string(); }

// Three size rules; the third has a CP932 name (表示, 0x5C second byte) and
// no category.
const char* const kRules =
    "[Conditions]\r\nnum=3\r\n"
    "[Condition0]\r\n_attName=small\r\n_catName=Size\r\n_type=0\r\n_a=1000\r\n_cmbA=0\r\n"
    "[Condition1]\r\n_attName=medium\r\n_catName=Size\r\n_type=1\r\n_b1=1000\r\n_cmbB1=1\r\n_b2=1000000\r\n_cmbB2=0\r\n"
    "[Condition2]\r\n_attName=\x95\x5c\x8e\xa6\r\n_type=1\r\n_b1=50000\r\n_cmbB1=1\r\n_b2=2000000\r\n_cmbB2=1\r\n";

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(images / "nested");
        writePng(native(images / "a.png"), 20, 10);  // 200: small
        writeBmp(native(images / "nested" / "b.bmp"), 300, 200);  // 60000: medium, 表示
        writeTiff(native(images / "c.tif"), 1200, 1000);  // 1200000: 表示
        writeBytes(native(images / "notes.txt"), "not an image, skipped in folders");
        writeBytes(rules, kRules);
    }

    TempDir dir;
    std::filesystem::path images = dir.path() / "images";
    std::string rules = dir.file("rules.ini");
};

TEST_F(Host, ClassifiesAFolderInSortedOrder) {
    const HostRun run = runHost({"classify", "--config", rules, native(images)}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out),
              (std::vector<std::string>{
                  native(images / "a.png") + "\t20\xC3\x97"
                                             "10\t200 px\tsmall [Size]",
                  native(images / "c.tif") + "\t1200\xC3\x97"
                                             "1000\t1200000 px\t\xE8\xA1\xA8\xE7\xA4\xBA",
                  native(images / "nested" / "b.bmp") + "\t300\xC3\x97"
                                                        "200\t60000 px\tmedium [Size], \xE8\xA1\xA8\xE7\xA4\xBA",
              }));
    EXPECT_NE(run.err.find("3 files classified, 0 unreadable"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("  \xE8\xA1\xA8\xE7\xA4\xBA: 2"), std::string::npos) << run.err;
}

TEST_F(Host, PrintsOneJsonObjectPerImage) {
    const std::string a = native(images / "a.png");
    const std::string b = native(images / "nested" / "b.bmp");
    std::string escapedB;
    for (char c : b) escapedB += c == '\\' ? std::string("\\\\") : std::string(1, c);
    std::string escapedA;
    for (char c : a) escapedA += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const HostRun run = runHost({"classify", "--json", "--config", rules, a, b}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out), (std::vector<std::string>{
                                    "{\"path\":\"" + escapedA +
                                        "\",\"width\":20,\"height\":10,\"area\":200,"
                                        "\"attributes\":[{\"name\":\"small\",\"category\":\"Size\"}]}",
                                    "{\"path\":\"" + escapedB +
                                        "\",\"width\":300,\"height\":200,\"area\":60000,"
                                        "\"attributes\":[{\"name\":\"medium\",\"category\":\"Size\"},"
                                        "{\"name\":\"\xE8\xA1\xA8\xE7\xA4\xBA\",\"category\":null}]}",
                                }));
}

TEST_F(Host, UnreadableFilesAreNamedCountedAndSkipped) {
    const std::string broken = native(images / "broken.png");
    writeBytes(broken, "\x89PNG\r\n\x1a\nthis is not a PNG");
    const std::string missing = native(images / "missing.jpg");
    const HostRun run = runHost({"classify", "--config", rules, broken, native(images / "a.png"), missing}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(linesOf(run.out).size(), 1u) << run.out;
    EXPECT_NE(run.err.find(broken), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 file classified, 1 unreadable"), std::string::npos) << run.err;
}

TEST_F(Host, ImagesMatchingNoRuleSaySo) {
    writePng(native(dir.path() / "big.png"), 1500, 1500);  // 2250000: beyond every rule
    const HostRun run = runHost({"classify", "--config", rules, dir.file("big.png")}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\t(no matching rule)\n"), std::string::npos) << run.out;
}

TEST_F(Host, BadUsageAndBadRuleFilesExitWithTwoAndOneLine) {
    const std::string badInteger = dir.file("bad.ini");
    writeBytes(badInteger, "[Conditions]\r\nnum=2\r\n[Condition1]\r\n_a=12abc\r\n");
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"classify", "--config", dir.file("absent.ini"), native(images)}, "no such rule file"},
        {{"classify", "--config", badInteger, native(images)},
         "bad.ini:4: [Condition1] _a=12abc: not an integer from -2147483648 to 2147483647: acLoadConfig refuses"},
        {{"classify", "--config", rules}, "no image or video files or folders given"},
        {{"classify", "--frobnicate", native(images)}, "unknown option: --frobnicate"},
        {{"tag", native(images)}, "unknown command: tag"},
        {{"classify", "--plugin", dir.file("nowhere.so"), native(images)}, "cannot load the plug-in"},
        {{"classify", "--config", dir.path().string(), native(images)}, "a folder, not a rule file"},
        {{"edit", native(images)}, "edit takes no image or video files or folders"},
#if !defined(_WIN32)
        {{"edit", "--config", rules}, "editing the rules needs Windows"},
#endif
    };
    for (const auto& c : cases) {
        const HostRun run = runHost(c.args, dir);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_EQ(run.out, "") << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
}

TEST_F(Host, ShippedRulesAreFoundFromAnyFolder) {
    const HostRun run = runHost({"classify", native(images / "a.png")}, dir, dir.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    // 200 pixels: サムネイル (thumbnail) in サイズ (size).
    EXPECT_NE(run.out.find(
                  "\xE3\x82\xB5\xE3\x83\xA0\xE3\x83\x8D\xE3\x82\xA4\xE3\x83\xAB [\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA]"),
              std::string::npos)
        << run.out;
}

TEST_F(Host, ARelativeRuleFileIsReadFromTheCurrentFolder) {
    // Win32's profile functions would look a bare name up in the Windows
    // directory: the host must hand the plug-in a full path.
    const HostRun run = runHost({"classify", "--config", "rules.ini", "images"}, dir, dir.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("(no matching rule)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\tsmall [Size]"), std::string::npos) << run.out;
}

#if !defined(_WIN32)
TEST_F(Host, ANamedPipeIsUnreadableAtOnce) {
    const std::string pipe = dir.file("waiting.fifo");  // no writer: a read would wait forever
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const HostRun run = runHost({"classify", "--config", rules, pipe, native(images / "a.png")}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(linesOf(run.out).size(), 1u) << run.out;
    EXPECT_NE(run.err.find(pipe + ": a named pipe, not an image or video file"), std::string::npos) << run.err;
}

// A linked folder is left out with a word, or with -L walked once: a link
// loop ends, and an image reached by two names is listed once.
TEST_F(Host, LinkedFoldersAreNamedOrFollowedOnce) {
    const std::filesystem::path phone = dir.path() / "mnt" / "phone";
    std::filesystem::create_directories(phone);
    writePng((phone / "IMG_0001.PNG").string(), 20, 10);
    std::filesystem::create_directory_symlink(phone, images / "phone");
    std::filesystem::create_directory_symlink("..", images / "nested" / "up");
    HostRun run = runHost({"classify", "--config", rules, native(images)}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out).size(), 3u) << run.out;
    EXPECT_NE(run.err.find("2 linked folders left out"), std::string::npos) << run.err;
    run = runHost({"classify", "-L", "--config", rules, native(images)}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out).size(), 4u) << run.out;
    EXPECT_NE(run.out.find(native(images / "phone" / "IMG_0001.PNG") + "\t20"), std::string::npos) << run.out;
}

// Wine's imaging component decodes a PNG's pixels when it opens it and has
// no WebP codec, so these two are checked against Exiv2 only.
TEST_F(Host, PanoramaHeadersAndWebPReportTheirSizesAsTheyAre) {
    writePngHeaderOnly(dir.file("panorama.png"), 100000, 50000);
    const std::filesystem::path webp = programDirectory() / ".." / ".." / "examples" / "images" / "photo.webp";
    const HostRun run = runHost({"classify", "--json", "--config", rules, dir.file("panorama.png"), webp.string()}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"width\":100000,\"height\":50000,\"area\":5000000000,\"attributes\":[]"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"width\":1280,\"height\":960,\"area\":1228800"), std::string::npos) << run.out;
}
#endif

std::string utf8(const std::filesystem::path& p) { return std::filesystem::path(p).make_preferred().u8string(); }

std::string jsonEscaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// Names a Japanese user's library holds: in code page 932, with a Latin
// accent, and outside it (a Chinese character, an emoji); the rule file in a
// folder named in Japanese and in one whose name code page 932 cannot spell.
TEST_F(Host, EveryNameAUserCanGiveReachesItsFile) {
    namespace fs = std::filesystem;
    const fs::path photos = dir.path() / fs::u8path("写真");
    fs::create_directories(photos);
    std::vector<std::string> images;
    for (const char* name : {"夏.png", "café.png", "图片.bmp", "写真😀.bmp"}) {
        fs::copy_file(this->images / "a.png", photos / fs::u8path(name));
        images.push_back(utf8(photos / fs::u8path(name)));
    }
    for (const char* folder : {"規則", "图"}) {
        const fs::path config = dir.path() / fs::u8path(folder) / "r.ini";
        fs::create_directories(config.parent_path());
        fs::copy_file(rules, config);
        HostRun run = runHost({"classify", "--config", utf8(config), utf8(photos)}, dir);
        EXPECT_EQ(run.status, 0) << folder << run.err;
        std::vector<std::string> lines = linesOf(run.out);
        std::sort(lines.begin(), lines.end());
        std::vector<std::string> expected;
        for (const std::string& image : images)
            expected.push_back(image +
                               "\t20\xC3\x97"
                               "10\t200 px\tsmall [Size]");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lines, expected) << folder;

        std::vector<std::string> args = {"classify", "--json", "--config", utf8(config)};
        args.insert(args.end(), images.begin(), images.end());
        run = runHost(args, dir);
        EXPECT_EQ(run.status, 0) << folder << run.err;
        lines = linesOf(run.out);
        ASSERT_EQ(lines.size(), images.size()) << run.out;
        for (std::size_t i = 0; i < images.size(); ++i)
            EXPECT_EQ(lines[i].rfind("{\"path\":\"" + jsonEscaped(images[i]) + "\",\"width\":20,", 0), 0u) << lines[i];
    }
}

TEST_F(Host, HelpAndVersionGoToStandardOutput) {
    for (const auto& args : {std::vector<std::string>{"--help"}, {"classify", "--help"}, {"--version"}}) {
        const HostRun run = runHost(args, dir);
        EXPECT_EQ(run.status, 0) << args.back();
        EXPECT_NE(run.out.find(args.back() == "--version" ? "pixtagger-host 1." : "Usage: pixtagger-host"),
                  std::string::npos)
            << run.out;
    }
}

#if !defined(_WIN32)
// File names are bytes here: JSON stays valid UTF-8 and keeps the bytes, and
// a newline in a name does not split its text line.
TEST_F(Host, NamesThatAreNotUtf8OrHoldANewlineKeepOneValidLine) {
    writePng(dir.file("caf\xE9.png"), 20, 10);
    writePng(dir.file("two\nlines.png"), 20, 10);
    // Named relative to its folder, so that the bytes are known: "caf\xE9.png".
    HostRun run = runHost({"classify", "--json", "--config", rules, "caf\xE9.png"}, dir, dir.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\"path\":\"caf\xEF\xBF\xBD.png\",\"path_base64\":\"Y2Fm6S5wbmc=\",", 0), 0u) << run.out;
    run = runHost({"classify", "--config", rules, dir.file("two\nlines.png")}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.out), std::vector<std::string>{dir.file("two\\nlines.png") + "\t20\xC3\x97"
                                                                                       "10\t200 px\tsmall [Size]"});
}
#endif

}  // namespace
