// What kind of thing a path names, told before anything is read from it.
#pragma once

#include <filesystem>
#include <string>

// What a path that is not a regular file names ("a folder", "a named pipe",
// …), or an empty text for a regular file. Reading a named pipe without a
// writer would wait forever, so such paths are refused before any read.
std::string nonFileKind(const std::filesystem::path& path);
