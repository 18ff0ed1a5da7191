#include "config/profile_file.h"

#include <boost/lexical_cast.hpp>

#include <utility>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr DWORD kStackBuffer = 512;
// Values longer than this are not read again with a larger buffer; a profile
// file's value of a gigabyte is not a rule name.
constexpr DWORD kLargestBuffer = 1u << 30;

}  // namespace

ProfileFile::ProfileFile(std::string path) : path(std::move(path)) {}

std::string ProfileFile::readText(const char* section, const char* key, const std::string& defaultText) const {
    char buffer[kStackBuffer];
    DWORD count = GetPrivateProfileStringA(section, key, defaultText.c_str(), buffer, kStackBuffer, path.c_str());
    if (count < kStackBuffer - 1) return std::string(buffer, count);

    // The value filled the buffer and may have been cut: read it again with
    // room to spare until it fits, so long names come back whole.
    std::vector<char> larger;
    DWORD size = kStackBuffer;
    do {
        size *= 2;
        larger.resize(size);
        count = GetPrivateProfileStringA(section, key, defaultText.c_str(), larger.data(), size, path.c_str());
    } while (count >= size - 1 && size < kLargestBuffer);
    return std::string(larger.data(), count);
}

void ProfileFile::writeText(const char* section, const char* key, const std::string& text) const {
    // Spaces at either end, or a double quote at the start, would be lost on
    // reading; one pair of double quotes around the text protects them.
    const bool quote = !text.empty() && (text.front() == '"' || text.front() == ' ' || text.back() == ' ');
    WritePrivateProfileStringA(section, key, quote ? ('"' + text + '"').c_str() : text.c_str(), path.c_str());
}

std::int32_t ProfileFile::get(const char* section, const char* key, std::int32_t defaultValue) const {
    return boost::lexical_cast<std::int32_t>(readText(section, key, boost::lexical_cast<std::string>(defaultValue)));
}

std::uint32_t ProfileFile::get(const char* section, const char* key, std::uint32_t defaultValue) const {
    return boost::lexical_cast<std::uint32_t>(readText(section, key, boost::lexical_cast<std::string>(defaultValue)));
}

std::string ProfileFile::get(const char* section, const char* key, const std::string& defaultValue) const {
    return readText(section, key, defaultValue);
}

void ProfileFile::put(const char* section, const char* key, std::int32_t value) const {
    writeText(section, key, boost::lexical_cast<std::string>(value));
}

void ProfileFile::put(const char* section, const char* key, std::uint32_t value) const {
    writeText(section, key, boost::lexical_cast<std::string>(value));
}

void ProfileFile::put(const char* section, const char* key, const std::string& value) const {
    writeText(section, key, value);
}
