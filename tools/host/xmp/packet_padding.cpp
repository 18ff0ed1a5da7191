#include "xmp/packet_padding.h"

#include "xmp/packet_text.h"

bool fitPacket(std::string& packet, std::size_t size) {
    PacketEncoding encoding{};
    std::string ignored;
    if (!packetEncoding(packet, encoding, ignored)) return false;
    const std::size_t unit = encoding == PacketEncoding::Utf16Le || encoding == PacketEncoding::Utf16Be ? 2 : 1;
    const std::size_t trailer = packet.rfind(encodePacket("<?xpacket end=", encoding));
    if (trailer == std::string::npos || trailer % unit != 0) return false;
    const std::string space = encodePacket(" ", encoding);
    std::size_t padding = 0;
    for (; padding + unit <= trailer; padding += unit) {
        const std::string_view c = std::string_view(packet).substr(trailer - padding - unit, unit);
        if (c != space && c != encodePacket("\n", encoding) && c != encodePacket("\r", encoding) &&
            c != encodePacket("\t", encoding))
            break;
    }
    if (size >= packet.size()) {
        const std::size_t grow = size - packet.size();
        if (grow % unit != 0) return false;
        std::string added;
        for (std::size_t i = 0; i < grow / unit; ++i) added += space;
        packet.insert(trailer, added);
        return true;
    }
    const std::size_t shrink = packet.size() - size;
    if (shrink % unit != 0 || shrink > padding) return false;
    packet.erase(trailer - shrink, shrink);
    return true;
}
