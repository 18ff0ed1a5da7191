#include "embedded_packet.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "exiv2_xmp_lock.h"
#include "file_bytes.h"
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
    const std::size_t end = 8 + std::size_t{le32(f, 4)};
    std::string body("WEBP");
    bool extended = false;
    for (std::size_t at = 12; at + 8 <= end;) {
        const std::size_t length = le32(f, at + 4);
        Bytes chunk = f.substr(at, std::min(end, at + 8 + length + (length & 1)) - at);
        at += chunk.size();
        if (chunk.substr(0, 4) == "XMP ") {
            if (!layout.packets.empty() && within(layout.packets.front(), chunk)) body += xmp;
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
        error = "would grow beyond what a WebP file holds";
        return false;
    }
    out = "RIFF";
    putLe(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    out.append(f.substr(end));
    return true;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
Exiv2::Image::AutoPtr openInMemory(Bytes file) {
    // Exiv2 reads the caller's bytes and writes a new file into memory of
    // its own: never a file on the disk.
    Exiv2::BasicIo::AutoPtr io(
        new Exiv2::MemIo(reinterpret_cast<const Exiv2::byte*>(file.data()), static_cast<long>(file.size())));
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
    if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerMemoryContainsUnknownImageType);
    image->readMetadata();
    return image;
}
#pragma GCC diagnostic pop

// Exclusively: with two images' packets decoded at once, Exiv2 0.27 now and
// then refuses a valid one (setXmpPacket's kerInvalidXMP, about once in 500
// camera JPEGs on two threads; the same packet decodes at once when tried
// again).
bool exiv2WithPacket(EmbedFormat format, Bytes f, const std::string& packet, std::string& out, std::string& error) {
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    auto image = openInMemory(f);
    // A TIFF that Exiv2 reads as a camera's raw file (CR2) is one.
    if (image->imageType() != (format == EmbedFormat::Jpeg ? Exiv2::ImageType::jpeg : Exiv2::ImageType::tiff)) {
        error = "Exiv2 reads it as another format";
        return false;
    }
    image->setXmpPacket(packet);
    image->writeXmpFromPacket(true);  // our packet as it is, not Exiv2's encoding of it
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, io.path(), "");
    out.assign(io.size(), '\0');
    const long n = out.empty() ? 0 : io.read(reinterpret_cast<Exiv2::byte*>(&out[0]), static_cast<long>(out.size()));
    io.close();
    if (n != static_cast<long>(out.size())) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    return true;
}

}  // namespace

bool embedFormatOf(std::string_view file, EmbedFormat& format) {
    if (file.substr(0, 3) == "\xFF\xD8\xFF") {
        format = EmbedFormat::Jpeg;
    } else if (file.substr(0, 8) == Bytes("\x89PNG\r\n\x1A\n", 8)) {
        format = EmbedFormat::Png;
    } else if (file.size() >= 12 && file.substr(0, 4) == "RIFF" && file.substr(8, 4) == "WEBP") {
        format = EmbedFormat::Webp;
    } else if (file.substr(0, 4) == Bytes("II*\0", 4) || file.substr(0, 4) == Bytes("MM\0*", 4)) {
        format = EmbedFormat::Tiff;
    } else {
        return false;
    }
    return true;
}

bool withPacket(EmbedFormat format, std::string_view file, const ImageLayout& layout, const std::string& packet,
                std::string& out, std::string& error) {
    if (layout.packets.size() > 1) {
        error = "holds " + std::to_string(layout.packets.size()) + " XMP packets; which one readers take is unsure";
        return false;
    }
    switch (format) {
    case EmbedFormat::Png: return pngWithPacket(file, layout, packet, out);
    case EmbedFormat::Webp: return webpWithPacket(file, layout, packet, out, error);
    case EmbedFormat::Jpeg:
    case EmbedFormat::Tiff: return exiv2WithPacket(format, file, packet, out, error);
    }
    return false;
}

std::string exiv2Packet(std::string_view file) {
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    return openInMemory(file)->xmpPacket();
}
