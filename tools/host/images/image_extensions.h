// Which file names a folder walk takes for images and videos, and which
// images are camera raw files (the raw file of a RAW+JPEG pair owns
// Lightroom's sidecar). Letter case does not matter: IMG_0001.HEIC is an
// image, IMG_0002.MOV a video.
#pragma once

#include <filesystem>

bool hasImageExtension(const std::filesystem::path& name);

bool hasVideoExtension(const std::filesystem::path& name);

bool hasRawExtension(const std::filesystem::path& name);
