#include "webp_canvas.h"

namespace {

std::uint32_t byteAt(std::string_view f, std::size_t at) { return static_cast<unsigned char>(f[at]); }

}  // namespace

bool simpleWebpCanvas(std::string_view file, WebpCanvas& canvas, std::string& error) {
    const std::string_view type = file.size() >= 16 ? file.substr(12, 4) : std::string_view();
    // A lossy key frame: a 3-byte frame tag, the start code, then 14-bit
    // width and height (each with 2 bits of scaling above).
    if (type == "VP8 " && file.size() >= 30 && file.substr(23, 3) == "\x9D\x01\x2A") {
        canvas = {0, (byteAt(file, 26) | byteAt(file, 27) << 8) & 0x3FFF,
                  (byteAt(file, 28) | byteAt(file, 29) << 8) & 0x3FFF};
        return true;
    }
    // Lossless: the signature 0x2F, then width - 1 and height - 1 in 14
    // bits each and the alpha bit, least significant first.
    if (type == "VP8L" && file.size() >= 25 && byteAt(file, 20) == 0x2F) {
        const std::uint32_t bits = byteAt(file, 21) | byteAt(file, 22) << 8 | byteAt(file, 23) << 16 |
                                   byteAt(file, 24) << 24;
        canvas = {(bits >> 28 & 1) != 0 ? WebpCanvas::kAlphaFlag : 0, (bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1};
        return true;
    }
    error = "a WebP file without VP8X whose first chunk is not a VP8 or VP8L bitstream";
    return false;
}
