// File names as the platform's file system compares them: letter case
// matters on Linux and not on Windows, so IMG_1.CR2 and img_1.jpg are a pair
// there.
#pragma once

#include <filesystem>

std::filesystem::path::string_type nameKey(const std::filesystem::path& name);
