// Our stand-in profile functions against Win32's own (Wine's), side by side:
// the same seeded writes applied to two files, the same hand-written files
// read through both, and every read compared.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "platform/standin/profile.h"
#include "temp_dir.h"

namespace {

using Get = DWORD(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD, LPCSTR);

std::string read(Get get, const std::string& path, const std::string& section, const std::string& key) {
    std::string buffer(8192, '\0');
    const DWORD n = get(section.c_str(), key.c_str(), "<default>", &buffer[0], static_cast<DWORD>(buffer.size()),
                        path.c_str());
    return buffer.substr(0, n);
}

DWORD WINAPI ours(LPCSTR s, LPCSTR k, LPCSTR d, LPSTR b, DWORD n, LPCSTR p) {
    return standin::GetPrivateProfileStringA(s, k, d, b, n, p);
}

// Names in several spellings of letter case, and CP932 names whose second
// bytes are ASCII letters (ア is 0x83 0x41, ャ is 0x83 0x61).
const std::vector<std::string> kSections = {"Conditions",  "CONDITIONS", "conditions", "Condition0",       "condition0",
                                            "Condition10", "\x83\x41",   "\x83\x61",   "\x93\xfa\x96\x7b", "x y"};
const std::vector<std::string> kKeys = {"num", "NUM", "_attName", "_ATTNAME", "_a",
                                        "_A",  "_b1", "\x83\x41", "\x83\x61", "key with spaces"};

// Value pieces: spaces, quotes, tabs, '=', ';', brackets and CP932 text,
// including 表 and ソ whose second byte is 0x5C and the full-width space.
const std::vector<std::string> kPieces = {"a", "Z", "0", " ",        "  ",       "\"",       "\t",       "=",
                                          ";", "[", "]", "\x95\x5c", "\x83\x5c", "\x8a\xbf", "\x81\x40", "#"};

std::string randomValue(std::mt19937& random) {
    for (;;) {
        std::string value;
        const int pieces = static_cast<int>(random() % 8);
        for (int i = 0; i < pieces; ++i) value += kPieces[random() % kPieces.size()];
        // Win32 also removes a pair of single quotes around a value; the
        // stand-in keeps them, since the quoting rule only protects double
        // quotes and a name like 'x' would otherwise lose its quotes.
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') continue;
        return value;
    }
}

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& from) {
    return from[random() % from.size()];
}

void compareAllReads(const std::string& real, const std::string& mine, const std::string& context) {
    for (const std::string& section : kSections) {
        for (const std::string& key : kKeys) {
            ASSERT_EQ(read(GetPrivateProfileStringA, real, section, key), read(ours, mine, section, key))
                << context << " [" << section << "] " << key;
        }
    }
}

TEST(ProfileDifferential, SeededWriteAndReadSequences) {
    TempDir dir;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        const std::string real = dir.file("real" + std::to_string(seed) + ".ini");
        const std::string mine = dir.file("mine" + std::to_string(seed) + ".ini");
        for (int step = 0; step < 150; ++step) {
            const std::string& section = pick(random, kSections);
            const std::string& key = pick(random, kKeys);
            const std::string context = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            if (random() % 10 == 0) {
                WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, real.c_str());
                standin::WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, mine.c_str());
            } else {
                const std::string value = randomValue(random);
                ASSERT_EQ(WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), real.c_str()),
                          standin::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), mine.c_str()))
                    << context;
            }
            ASSERT_EQ(read(GetPrivateProfileStringA, real, section, key), read(ours, mine, section, key)) << context;
            if (step % 25 == 24) compareAllReads(real, mine, context);
        }
        compareAllReads(real, mine, "seed " + std::to_string(seed) + " end");
    }
}

std::string randomLine(std::mt19937& random) {
    const std::string& section = pick(random, kSections);
    const std::string& key = pick(random, kKeys);
    const std::string pad[] = {"", " ", "  ", "\t"};
    switch (random() % 9) {
    case 0: return "[" + section + "]";
    case 1: return pad[random() % 4] + "[" + section + "]" + pad[random() % 4];
    case 2: return "[" + section + "] trailing text";
    case 3: return "; " + key + "=commented out";
    case 4: return "";
    case 5: return key;  // a line without '='
    case 6: return pad[random() % 4] + key + pad[random() % 4] + "=" + pad[random() % 4] + randomValue(random);
    default: return key + "=" + randomValue(random);
    }
}

TEST(ProfileDifferential, HandWrittenFiles) {
    TempDir dir;
    for (unsigned seed = 1; seed <= 120; ++seed) {
        std::mt19937 random(1000 + seed);
        std::string bytes;
        const int lines = static_cast<int>(random() % 40);
        for (int i = 0; i < lines; ++i) bytes += randomLine(random) + (random() % 2 ? "\r\n" : "\n");
        if (random() % 4 == 0) bytes += randomLine(random);  // no line end at the end
        // Fresh names each time: Win32 keeps parsed files by name and time.
        const std::string real = dir.file("hand-real" + std::to_string(seed) + ".ini");
        const std::string mine = dir.file("hand-mine" + std::to_string(seed) + ".ini");
        writeBytes(real, bytes);
        writeBytes(mine, bytes);
        compareAllReads(real, mine, "file " + std::to_string(seed) + ":\n" + bytes);
    }
}

}  // namespace
