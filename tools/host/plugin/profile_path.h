// The rule file's path as the plug-in's profile calls take it: ANSI code page
// bytes on Windows, never a best-fit or '?'-substituted name that could open
// or overwrite another file.
#pragma once

#include <filesystem>
#include <string>

// `full` (an absolute path) in the ANSI code page when it converts exactly;
// otherwise its 8.3 short name (for a file not there yet, its folder's short
// name and its own name). False with a one-line reason when neither exists.
bool profilePathForPlugin(const std::filesystem::path& full, std::string& ansi, std::string& error);
