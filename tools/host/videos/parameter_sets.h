// The picture size in an H.264 or HEVC sequence parameter set, its
// cropping applied (1920×1088 coded is 1920×1080 shown): what a transport
// stream, which has no size of its own, holds of its video's size.
#pragma once

#include <cstddef>
#include <cstdint>

// `nal` is the whole NAL unit (its header first), emulation prevention
// bytes and all. False for one that is cut short or out of range.
bool h264SpsSize(const unsigned char* nal, std::size_t size, std::uint32_t& width, std::uint32_t& height);
bool hevcSpsSize(const unsigned char* nal, std::size_t size, std::uint32_t& width, std::uint32_t& height);
