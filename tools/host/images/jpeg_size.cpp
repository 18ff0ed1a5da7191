#include "jpeg_size.h"
#include "text/messages.h"

#include <exiv2/basicio.hpp>

#include <cstdint>

namespace {

// SOF0 to SOF15 start a frame header; among C0-CF, C4 (DHT), C8 (JPG) and
// CC (DAC) are other segments.
bool isFrameHeader(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, with no length after them: TEM and RST0-7.
bool standsAlone(int marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

}  // namespace

bool readJpegSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error) {
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    std::uint64_t at = 2;  // after SOI
    for (;;) {
        unsigned char b[8];
        if (at + 2 > fileSize || file.seek(static_cast<long>(at), Exiv2::BasicIo::beg) != 0 || file.read(b, 2) != 2) {
            error = tr("cut short before its frame header");
            return false;
        }
        if (b[0] != 0xFF) {
            error = tr("no marker where the segment before it ends, at byte %s", {std::to_string(at)});
            return false;
        }
        // Any marker may follow fill bytes of FF.
        int marker = b[1];
        for (; marker == 0xFF; ++at) {
            marker = file.getb();
            if (marker == EOF) {
                error = tr("cut short before its frame header");
                return false;
            }
        }
        at += 2;
        if (marker == 0x00) {
            error = tr("no marker where the segment before it ends, at byte %s", {std::to_string(at - 2)});
            return false;
        }
        if (standsAlone(marker)) continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            error = tr("no frame header before its image data");
            return false;
        }
        if (file.read(b, 2) != 2) {
            error = tr("cut short before its frame header");
            return false;
        }
        const std::uint64_t length = std::uint64_t{b[0]} << 8 | b[1];
        if (length < 2) {
            error = tr("a segment shorter than its own length field");
            return false;
        }
        if (isFrameHeader(marker)) {
            // Length, precision, height, width, components.
            if (length < 8 || file.read(b, 5) != 5) {
                error = tr("its frame header is cut short");
                return false;
            }
            size.height = std::uint32_t{b[1]} << 8 | b[2];
            size.width = std::uint32_t{b[3]} << 8 | b[4];
            if (size.width == 0 || size.height == 0) {
                error = tr("no image size in its frame header");
                return false;
            }
            return true;
        }
        at += length;
    }
}
