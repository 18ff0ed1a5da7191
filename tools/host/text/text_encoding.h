// The plug-in's texts are code page 932; the host prints UTF-8.
#pragma once

#include <string>

std::string cp932ToUtf8(const std::string& text);

// JSON string literal of UTF-8 text, quotes included.
std::string jsonString(const std::string& utf8);
