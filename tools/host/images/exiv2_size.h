// Sizes through Exiv2: every classic format and camera raw file, and CR3,
// which Exiv2 reads with its BMFF support switched on.
#pragma once

#include <memory>
#include <string>

#include "exiv2_file_io.h"
#include "image_kind.h"
#include "image_size.h"

// Once, before any thread reads: Exiv2's logging, XMP toolkit and BMFF
// switch are process-wide.
void initExiv2Reading();

// Reads the header of `file` (not yet handed to anyone). False with a
// one-line reason in `error`.
bool readExiv2Size(std::unique_ptr<Exiv2FileIo> file, ImageKind kind, ImageSize& size, std::string& error);
