// The PNG and WebP writers: the packet's chunk replaced where it stands,
// or a new one added where the format puts it.
#include <algorithm>
#include <array>
#include <cstdint>

#include "file_bytes.h"
#include "packet_writers.h"
#include "text/messages.h"
#include "webp_canvas.h"

namespace {

using Bytes = std::string_view;

void putBe32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 0xFF);
}
void putLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// The PNG chunks' CRC-32 (ISO 3309, as zlib's).
std::uint32_t crc32(Bytes data) {
    static const std::array<std::uint32_t, 256> kTable = [] {
        std::array<std::uint32_t, 256> table{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return table;
    }();
    std::uint32_t c = 0xFFFFFFFFU;
    for (const char byte : data) c = kTable[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

// Whether `part` lies within `whole`.
bool within(Bytes part, Bytes whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

// Uncompressed, with no language: as Adobe's toolkit and Exiv2 write it.
std::string pngXmpChunk(const std::string& packet) {
    std::string data(
        "iTXt"
        "XML:com.adobe.xmp\0\0\0\0\0",
        4 + 22);
    data += packet;
    std::string chunk;
    putBe32(chunk, static_cast<std::uint32_t>(data.size() - 4));
    chunk += data;
    putBe32(chunk, crc32(data));
    return chunk;
}

}  // namespace

// In place of the old packet's chunk, else right after IHDR.
bool pngWithPacket(Bytes f, const ImageLayout& layout, const std::string& packet, std::string& out) {
    const std::string chunk = pngXmpChunk(packet);
    out.assign(f.data(), 8);
    for (std::size_t at = 8; at + 12 <= f.size();) {
        const Bytes old = f.substr(at, std::size_t{be32(f, at)} + 12);
        at += old.size();
        const bool xmp = !layout.packets.empty() && within(layout.packets.front(), old);
        out.append(xmp ? Bytes(chunk) : old);
        if (layout.packets.empty() && old.substr(4, 4) == "IHDR") out += chunk;
        if (old.substr(4, 4) == "IEND") {
            out.append(f.substr(at));
            break;
        }
    }
    return true;
}

// The packet in a chunk of its own, the VP8X flag that says so set (a
// VP8X made for a file of one bitstream), the RIFF size mended.
bool webpWithPacket(Bytes f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& error) {
    std::string xmp("XMP ");
    putLe(xmp, static_cast<std::uint32_t>(packet.size()), 4);
    xmp += packet;
    if (packet.size() % 2 != 0) xmp += '\0';
    std::string body("WEBP");
    bool extended = false;
    for (std::size_t at = 12; at + 8 <= f.size();) {
        const std::size_t length = le32(f, at + 4);
        const Bytes chunk = f.substr(at, 8 + length + (length & 1));
        at += chunk.size();
        if (chunk.substr(0, 4) == "XMP ") {
            body += xmp;  // the layout holds one packet at most
            continue;
        }
        if (chunk.substr(0, 4) == "VP8X" && length >= 10) {
            extended = true;
            body.append(chunk.substr(0, 8)) += static_cast<char>(byteAt(chunk, 8) | WebpCanvas::kXmpFlag);
            body.append(chunk.substr(9));
            continue;
        }
        body.append(chunk);
    }
    if (layout.packets.empty()) body += xmp;  // after the image data, as the format asks
    if (!extended) {
        WebpCanvas canvas;
        if (!simpleWebpCanvas(f, canvas, error)) return false;
        std::string vp8x("VP8X");
        putLe(vp8x, 10, 4);
        putLe(vp8x, canvas.flags | WebpCanvas::kXmpFlag, 4);
        putLe(vp8x, canvas.width - 1, 3);
        putLe(vp8x, canvas.height - 1, 3);
        body.insert(4, vp8x);
    }
    if (body.size() > 0xFFFFFFF0U) {
        error = tr("would grow beyond what a WebP file holds");
        return false;
    }
    out = "RIFF";
    putLe(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    return true;
}
