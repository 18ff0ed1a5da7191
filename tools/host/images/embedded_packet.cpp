#include "embedded_packet.h"

#include <algorithm>

#include "packet_writers.h"
#include "text/messages.h"
#include "xmp/packet_padding.h"

void padForNextTime(std::string& packet, std::size_t limit) {
    if (packet.size() < limit) fitPacket(packet, std::min(limit, packet.size() + 2048));
}

bool embedFormatOf(std::string_view file, EmbedFormat& format) {
    using Bytes = std::string_view;
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
                std::string& out, std::string& placed, std::string& error) {
    if (layout.packets.size() > 1) {
        error = tr("holds %s XMP packets; which one readers take is unsure", {std::to_string(layout.packets.size())});
        return false;
    }
    switch (format) {
    case EmbedFormat::Jpeg: return jpegWithPacket(file, layout, packet, out, placed, error);
    case EmbedFormat::Tiff: return tiffWithPacket(file, layout, packet, out, placed, error);
    case EmbedFormat::Png: placed = packet; return pngWithPacket(file, layout, packet, out);
    case EmbedFormat::Webp: placed = packet; return webpWithPacket(file, layout, packet, out, error);
    }
    return false;
}
