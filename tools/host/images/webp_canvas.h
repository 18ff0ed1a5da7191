// The canvas of a WebP file and the flags of its VP8X chunk, which a file of
// one bitstream (no VP8X) gets from the bitstream when metadata comes in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct WebpCanvas {
    static constexpr std::uint32_t kXmpFlag = 0x04;
    static constexpr std::uint32_t kAlphaFlag = 0x10;
    std::uint32_t flags = 0;
    std::uint32_t width = 0, height = 0;
};

// For a file whose first chunk is its one bitstream (VP8 or VP8L): its size,
// and the alpha flag where a lossless bitstream says it has alpha. False
// with a one-line reason for any other file.
bool simpleWebpCanvas(std::string_view file, WebpCanvas& canvas, std::string& error);
