// How a file's path is shown: UTF-8 for every platform's names, one line per
// path in text output, and valid JSON even for names that are not UTF-8.
#pragma once

#include <filesystem>
#include <string>

// UTF-8 for the terminal or a file: Windows names converted from UTF-16;
// elsewhere the name's bytes, with control characters (tab, newline, …) and
// the backslash that introduces them escaped, so that a name is one line.
std::string pathText(const std::filesystem::path& path);

// JSON members for a path: `name` ("path") with U+FFFD for each byte that is
// not UTF-8, and, only for such a name, `name`_base64 with its exact bytes.
std::string pathJsonMembers(const std::filesystem::path& path, const char* name = "path");

// UTF-8 of a path as the file system spells it (no escaping).
std::string pathUtf8(const std::filesystem::path& path);
