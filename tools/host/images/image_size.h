// Width and height of an image or video file, read from its header by the
// reader for its kind: our own (HEIF, AVIF, JPEG, and videos in videos/),
// libjxl (JPEG XL) or Exiv2 (the rest, raw files among them), on every
// platform alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct ImageSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool video = false;
    int rotation = -1;  // a video's, degrees clockwise; -1: its container has none
};

// Prepares the library for use from several threads; call once, first.
void initImageSizeReader();

// False with a one-line reason in `error` when the file is not a readable
// image or video. Huge sizes are reported as they are, not refused.
bool readImageSize(const std::filesystem::path& path, ImageSize& size, std::string& error);
