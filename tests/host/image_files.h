// Small valid image files of any size, written from scratch for the host's
// end-to-end tests: PNG (stored deflate), BMP (24-bit) and TIFF (8-bit grey),
// and a PNG that is only a header, as a panorama's would be.
#pragma once

#include <cstdint>
#include <string>

void writePng(const std::string& path, std::uint32_t width, std::uint32_t height);
void writePngHeaderOnly(const std::string& path, std::uint32_t width, std::uint32_t height);
void writeBmp(const std::string& path, std::uint32_t width, std::uint32_t height);
void writeTiff(const std::string& path, std::uint32_t width, std::uint32_t height);
