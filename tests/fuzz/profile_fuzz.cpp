// Our profile functions on arbitrary file bytes, then arbitrary writes and
// reads: after each write the key reads back as written (less the documented
// trimming), and every other key read so far reads as before.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "platform/standin/profile.h"
#include "platform/standin/profile_document.h"

namespace {

const std::string& path() {
    static const std::string file = [] {
        char name[] = "/tmp/pixtagger-profile-fuzz-XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        return (std::filesystem::path(name) / "p.ini").string();
    }();
    return file;
}

std::string read(const std::string& section, const std::string& key) {
    static char buffer[1 << 16];
    const DWORD n = standin::GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01missing", buffer,
                                                      sizeof buffer, path().c_str());
    return std::string(buffer, n);
}

// What a read returns for a value written as text: spaces and the like
// trimmed at both ends, then one pair of double quotes removed.
std::string asRead(std::string value) {
    value = std::string(standin::trimSpace(value));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

// Names and values that a line of the file can hold as one key: no line
// ends, no NUL; a key also without '=' and not read as a comment or header.
std::string text(FuzzedDataProvider& in, std::size_t max) {
    std::string s = in.ConsumeRandomLengthString(max);
    for (char& c : s) {
        if (c == '\r' || c == '\n' || c == '\0') c = '_';
    }
    return s;
}

std::string keyName(FuzzedDataProvider& in) {
    std::string key = text(in, 12);
    for (char& c : key) {
        if (c == '=') c = '_';
    }
    const std::string_view trimmed = standin::trimSpace(key);
    if (!trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '[')) key = "k" + key;
    return key;
}

using Name = std::pair<std::string, std::string>;  // folded, trimmed section and key

Name nameOf(const std::string& section, const std::string& key) {
    return {standin::foldName(standin::trimSpace(section)), standin::foldName(standin::trimSpace(key))};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string file = in.ConsumeRandomLengthString(4096);
    std::ofstream(path(), std::ios::binary | std::ios::trunc) << file;

    std::map<Name, std::pair<std::pair<std::string, std::string>, std::string>> seen;  // name -> (spelling, value)
    while (in.remaining_bytes() > 0) {
        std::string section = text(in, 12);
        for (char& c : section) {
            if (c == ']') c = '_';  // a header ends at its last ']'
        }
        const std::string key = keyName(in);
        if (in.ConsumeBool()) {
            seen[nameOf(section, key)] = {{section, key}, read(section, key)};
            continue;
        }
        const std::string value = text(in, 64);
        if (!standin::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path().c_str())) {
            std::abort();
        }
        const Name written = nameOf(section, key);
        seen[written] = {{section, key}, asRead(value)};
        for (const auto& [name, entry] : seen) {
            if (read(entry.first.first, entry.first.second) != entry.second) std::abort();
        }
    }
    return 0;
}
