// What the layout walkers share: names of numbers, and the bound on parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image_layout.h"

std::string hexNumber(std::uint32_t value, int digits);

// Far more parts than any image has: a file made to have more (each part
// costs a name) is refused rather than compared in gigabytes.
constexpr std::size_t kMaxParts = 1 << 20;
bool tooManyParts(std::size_t parts, std::string& error);

// Whether `text` begins with `start`, letters compared without their case.
bool startsWithIgnoringCase(std::string_view text, std::string_view start);

bool jpegLayout(std::string_view f, ImageLayout& layout, std::string& error);
bool tiffLayout(std::string_view f, ImageLayout& layout, std::string& error);
bool pngLayout(std::string_view f, ImageLayout& layout, std::string& error);
bool webpLayout(std::string_view f, ImageLayout& layout, std::string& error);
