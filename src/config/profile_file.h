// Typed access to one key of one section of a profile (INI) file: int32,
// uint32 and text, each read and write one call of the platform's profile
// functions on the file named by its path.
#pragma once

#include <cstdint>
#include <string>

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

    // The stored value, or the default when the file, section or key is
    // missing. An integer asked of a text that is not a valid integer of its
    // type throws boost::bad_lexical_cast.
    std::int32_t get(const char* section, const char* key, std::int32_t defaultValue) const;
    std::uint32_t get(const char* section, const char* key, std::uint32_t defaultValue) const;
    std::string get(const char* section, const char* key, const std::string& defaultValue) const;

    // Stores the value, creating what is missing. A failed write goes unnoticed.
    void put(const char* section, const char* key, std::int32_t value) const;
    void put(const char* section, const char* key, std::uint32_t value) const;
    void put(const char* section, const char* key, const std::string& value) const;

private:
    std::string readText(const char* section, const char* key, const std::string& defaultText) const;
    void writeText(const char* section, const char* key, const std::string& text) const;

    const std::string path;
};
