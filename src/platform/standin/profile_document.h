// A profile (INI) file held in memory line by line, byte for byte, so that a
// change to one key rewrites that line alone and every other byte stays.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace standin {

class ProfileDocument {
public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string_view bytes);

    // The stored value of key in section with white space and one pair of
    // double quotes removed; nullopt when the section or key is missing, or
    // when the key's line has no '='.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

    // Each returns whether the document changed. A null value deletes the
    // key; a null key deletes the section.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    std::string bytes() const;

private:
    enum class Kind { Other, Header, Key, KeyWithoutValue };
    struct Line {
        std::string raw;  // the line without its end
        std::string end;  // "\r\n", "\n", "\r", or "" for an unterminated last line
        Kind kind = Kind::Other;
        std::string name;  // folded section or key name
        std::size_t valueAt = 0;  // where the value starts in raw (after '=' and white space)
    };
    struct Section {
        std::size_t first;  // its header line, or 0 for the lines before any header
        std::size_t last;  // one past its last line
        bool headed;  // false for the lines before any header
    };

    void reindex();
    // Names as the caller gives them: trimmed and folded here.
    std::optional<Section> sectionNamed(std::string_view name) const;
    std::optional<std::size_t> keyIn(const Section& s, std::string_view name) const;
    static Line parse(std::string raw, std::string end);
    static Line keyLine(std::string_view key, std::string_view value);
    static bool isKey(const Line& line) { return line.kind == Kind::Key || line.kind == Kind::KeyWithoutValue; }

    std::vector<Line> lines_;
    // First section of each folded name. "" names the lines before any header.
    std::unordered_map<std::string, Section> sections_;
};

// ASCII white space as the profile functions trim it; CP932 second bytes are
// never in this range, so trimming bytes is safe for two-byte text.
bool isProfileSpace(char c);
std::string_view trimSpace(std::string_view s);

// ASCII letters folded to lower case, skipping the second byte of each CP932
// two-byte character, so section and key names compare case-insensitively.
std::string foldName(std::string_view s);

}  // namespace standin
