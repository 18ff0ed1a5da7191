// Names given on the command line (UTF-8) in the rule file's code page 932,
// exactly or not at all: a character it cannot spell is named, never
// written as '?' or a look-alike.
#pragma once

#include <optional>
#include <string>

// The CP932 bytes of `utf8`, given with `option`, or nullopt with a
// one-line reason naming the first character without an exact form, or a
// control character (a line break would split the rule file's line).
std::optional<std::string> utf8ToCp932(const std::string& utf8, const char* option, std::string& error);

// The platform's CP932 bytes of one character (its UTF-8 bytes), or nullopt
// when code page 932 has no form of it.
std::optional<std::string> cp932Character(const std::string& utf8Character);
