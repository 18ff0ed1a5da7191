// Where the running program lives, to find the plug-in and the shipped
// examples beside it whatever the current folder.
#pragma once

#include <filesystem>

std::filesystem::path programDirectory();
