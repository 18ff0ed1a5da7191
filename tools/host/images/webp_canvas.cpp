#include "webp_canvas.h"

#include "file_bytes.h"
#include "text/messages.h"

bool simpleWebpCanvas(std::string_view file, WebpCanvas& canvas, std::string& error) {
    const std::string_view type = file.size() >= 16 ? file.substr(12, 4) : std::string_view();
    // A lossy key frame: a 3-byte frame tag, the start code, then 14-bit
    // width and height (each with 2 bits of scaling above).
    if (type == "VP8 " && file.size() >= 30 && file.substr(23, 3) == "\x9D\x01\x2A") {
        canvas = {0, le16(file, 26) & 0x3FFF, le16(file, 28) & 0x3FFF};
        return true;
    }
    // Lossless: the signature 0x2F, then width - 1 and height - 1 in 14
    // bits each and the alpha bit, least significant first.
    if (type == "VP8L" && file.size() >= 25 && byteAt(file, 20) == 0x2F) {
        const std::uint32_t bits = le32(file, 21);
        canvas = {(bits >> 28 & 1) != 0 ? WebpCanvas::kAlphaFlag : 0, (bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1};
        return true;
    }
    error = tr("a WebP file without VP8X whose first chunk is not a VP8 or VP8L bitstream");
    return false;
}
