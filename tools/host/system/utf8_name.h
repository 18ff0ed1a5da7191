// A path in UTF-8, for messages and output: POSIX names as their bytes;
// Windows names converted from UTF-16 (never through the ANSI code page,
// which cannot spell every name), a lone surrogate as U+FFFD, where
// path::u8string would throw.
#pragma once

#include <filesystem>
#include <string>

std::string utf8Name(const std::filesystem::path& path);
