// Properties of our stand-in profile functions that Win32 does not show from
// the outside the same way: bytes kept, placement of new lines, whole-file
// replacement, permissions, and copies kept between calls.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/win32.h"
#include "temp_dir.h"

namespace {

std::string get(const std::string& path, const char* section, const char* key, const char* def = "DEF",
                DWORD size = 4096) {
    std::string buffer(size == 0 ? 1 : size, '\x7f');
    const DWORD n = GetPrivateProfileStringA(section, key, def, &buffer[0], size, path.c_str());
    EXPECT_EQ(n, size == 0 ? 0u : std::strlen(buffer.c_str()));
    return buffer.substr(0, n);
}

class StandinProfile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("p.ini");
};

TEST_F(StandinProfile, ReadsLikeWin32) {
    static const char kFile[] =
        "top=1\r\n"
        "; comment=5\n"
        "[ sp ]\r\n"
        "k=1\r\n"
        "[A]\n"
        "foo\n"
        "foo=hidden by the line above\n"
        "  Key  =  \"quoted\"  \r\n"
        "q1=\"\n"
        "tab=\t\tx\t\n"
        "empty=\n"
        "=noname\n"
        "fw=\x81\x40val\x81\x40\n"
        "eq=a=b\n"
        "[a]\n"
        "second=in the second [a]\n"
        "[B]\rcr=1\rlf=2\n"
        "[\x83\x41]\nk=upper\n"
        "[\x83\x61]\nk=lower\n"
        "[X] trailing\nk=x\n"
        "nul=ab\0cd\n"
        "last=unterminated";
    writeBytes(path, std::string(kFile, sizeof kFile - 1));
    const struct {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"", "top", "1"},
        {"", "; comment", "DEF"},
        {"sp", "k", "1"},
        {" sp ", "k", "1"},
        {"a", "FOO", "DEF"},
        {"A", " key ", "quoted"},
        {"A", "q1", "\""},
        {"A", "tab", "x"},
        {"A", "empty", ""},
        {"A", "", "noname"},
        {"A", "fw", "\x81\x40val\x81\x40"},
        {"A", "eq", "a=b"},
        {"a", "second", "DEF"},
        {"B", "cr", "1"},
        {"b", "LF", "2"},
        {"\x83\x41", "k", "upper"},
        {"\x83\x61", "k", "lower"},
        {"x", "k", "x"},
        {"X", "last", "unterminated"},
        {"x", "nul", "ab"},  // a value is read as a C string
        {"Missing", "k", "DEF"},
    };
    for (const auto& c : cases) EXPECT_EQ(get(path, c.section, c.key), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(get(path, "A", "missing", "trailing spaces   "), "trailing spaces");
}

TEST_F(StandinProfile, BufferLimitsLikeWin32) {
    writeBytes(path, "[S]\nk=abcdef\n");
    EXPECT_EQ(get(path, "S", "k", "", 5), "abcd");
    EXPECT_EQ(get(path, "S", "k", "", 1), "");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", nullptr, 10, path.c_str()), 0u);
    char untouched = 'u';
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", &untouched, 0, path.c_str()), 0u);
    EXPECT_EQ(untouched, 'u');
}

TEST_F(StandinProfile, WritesChangeOnlyTheirOwnBytes) {
    const std::string original =
        "; rules\n"
        "\n"
        "[S]\r\n"
        "  first = one  \r\n"
        "second=two\n"
        "; trailing comment\n"
        "\n"
        "[s]\n"
        "dup=in the duplicate\n"
        "[T]\n"
        "t=1";
    writeBytes(path, original);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "FIRST", "uno", path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("s", "third", "3", path.c_str()));  // into the first [S]
    EXPECT_TRUE(WritePrivateProfileStringA("T", "u", "2", path.c_str()));  // after an unterminated line
    EXPECT_TRUE(WritePrivateProfileStringA("New", "n", "\x95\x5c", path.c_str()));
    EXPECT_EQ(readBytes(path),
              "; rules\n"
              "\n"
              "[S]\r\n"
              "  first = uno\r\n"
              "second=two\n"
              "third=3\r\n"
              "; trailing comment\n"
              "\n"
              "[s]\n"
              "dup=in the duplicate\n"
              "[T]\n"
              "t=1\r\n"
              "u=2\r\n"
              "[New]\r\n"
              "n=\x95\x5c\r\n");
    EXPECT_EQ(get(path, "S", "dup"), "DEF");
}

TEST_F(StandinProfile, DeletesKeysAndSections) {
    writeBytes(path, "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    EXPECT_TRUE(WritePrivateProfileStringA("A", "x", nullptr, path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, path.c_str()));
    EXPECT_EQ(readBytes(path), "[A]\ny=2\n[C]\nw=4\n");
}

TEST_F(StandinProfile, NewFileIsWrittenWithCrLfAndReadingCreatesNothing) {
    EXPECT_EQ(get(path, "S", "k"), "DEF");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k2", "", path.c_str()));
    EXPECT_EQ(readBytes(path), "[S]\r\nk=v\r\nk2=\r\n");
}

TEST_F(StandinProfile, UnchangedWriteLeavesTheFileAlone) {
    WritePrivateProfileStringA("S", "k", "v", path.c_str());
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    usleep(20000);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST_F(StandinProfile, ReplacementKeepsPermissionsAndLinks) {
    writeBytes(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string link = dir.file("link.ini");
    std::filesystem::create_symlink(path, link);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "2", link.c_str()));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(path), "[S]\nk=2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a temporary file was left";
}

TEST_F(StandinProfile, RefusedWritesReportFailure) {
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", dir.file("no/such/folder.ini").c_str()));
    writeBytes(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "2", path.c_str()));
    EXPECT_EQ(readBytes(path), "[S]\nk=1\n");
    EXPECT_EQ(get(path, "S", "k"), "1");
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", dir.path().string().c_str()));
}

TEST_F(StandinProfile, SeesFilesReplacedBehindItsBack) {
    writeBytes(path, "[S]\nk=old\n");
    EXPECT_EQ(get(path, "S", "k"), "old");
    const std::string other = dir.file("other.ini");
    writeBytes(other, "[S]\nk=new\n");  // same size, renamed over it
    std::filesystem::rename(other, path);
    EXPECT_EQ(get(path, "S", "k"), "new");
    std::filesystem::remove(path);
    EXPECT_EQ(get(path, "S", "k"), "DEF");
}

// A writer killed at any moment leaves the old file or the new one, never a
// mix: the big value is all one letter, and the other keys are intact.
TEST_F(StandinProfile, KilledWriterLeavesOldOrNewFile) {
    WritePrivateProfileStringA("S", "before", "1", path.c_str());
    WritePrivateProfileStringA("S", "big", std::string(200000, 'a').c_str(), path.c_str());
    WritePrivateProfileStringA("S", "after", "2", path.c_str());
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                const std::string value(200000 + (i % 3) * 1000, static_cast<char>('a' + i % 26));
                WritePrivateProfileStringA("S", "big", value.c_str(), path.c_str());
            }
        }
        usleep(1000 + random() % 20000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string big = get(path, "S", "big", "", 300000);
        ASSERT_GE(big.size(), 200000u);
        EXPECT_EQ(big.find_first_not_of(big[0]), std::string::npos) << "round " << round;
        EXPECT_EQ(get(path, "S", "before"), "1");
        EXPECT_EQ(get(path, "S", "after"), "2");
    }
}

}  // namespace
