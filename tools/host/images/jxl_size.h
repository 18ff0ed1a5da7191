// JPEG XL sizes through libjxl's basic info, from a bare codestream or the
// codestream boxes of a container, reading no more than the header needs.
#pragma once

#include <string>

#include "image_size.h"

namespace Exiv2 {
class BasicIo;
}

// False with a one-line reason in `error`.
bool readJxlSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error);
