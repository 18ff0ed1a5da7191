// The JPEG writer: the XMP APP1 segment replaced where it stands, in place
// when the packet fits its padding, else with a new length; a new one after
// the JFIF and Exif segments. Nothing else moves but what follows it, and
// the MPF entries that count those bytes are kept true.
#include "file_bytes.h"
#include "packet_writers.h"
#include "text/messages.h"
#include "xmp/packet_padding.h"

namespace {

using Bytes = std::string_view;

const Bytes kXmpSignature("http://ns.adobe.com/xap/1.0/\0", 29);

// What one APP1 segment holds after its length and signature (65,535 less
// 2 and 29 is 65,504; Adobe's XMP standard keeps to 65,502).
constexpr std::size_t kMaxPacket = 65502;

std::string be16Bytes(std::size_t v) { return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)}; }

// The 32-bit field at `at` moved by `delta`; false where it would not fit.
bool addTo(std::string& f, std::size_t at, bool littleEndian, std::int64_t delta) {
    const std::int64_t value = (littleEndian ? le32(f, at) : be32(f, at)) + delta;
    if (value < 0 || value > 0xFFFFFFFFLL) return false;
    for (int i = 0; i < 4; ++i) {
        const int shift = littleEndian ? 8 * i : 24 - 8 * i;
        f[at + static_cast<std::size_t>(i)] = static_cast<char>(static_cast<std::uint64_t>(value) >> shift & 0xFF);
    }
    return true;
}

}  // namespace

bool jpegWithPacket(Bytes f, const ImageLayout& layout, const std::string& packet, std::string& out,
                    std::string& placed, std::string& error) {
    placed = packet;
    std::size_t from = layout.newSegment, to = layout.newSegment;  // the old bytes the new ones replace
    std::string replacement;
    std::size_t length = 2 + kXmpSignature.size() + packet.size();  // of the segment, after its marker
    if (layout.xmpSegment != ImageLayout::kNone) {
        const Bytes old = layout.packets.front();
        const auto at = static_cast<std::size_t>(old.data() - f.data());
        if (fitPacket(placed, old.size())) {
            out.assign(f);
            out.replace(at, old.size(), placed);
            return true;
        }
        padForNextTime(placed, kMaxPacket);
        from = layout.xmpSegment + 2;  // its length
        to = at + old.size();
        length = be16(f, from) - old.size() + placed.size();
        replacement = be16Bytes(length) + std::string(f.substr(from + 2, at - from - 2)) + placed;
    } else {
        replacement = "\xFF\xE1" + be16Bytes(length) + std::string(kXmpSignature) + placed;
    }
    if (placed.size() > kMaxPacket || length > 0xFFFF) {
        error = tr("an XMP packet of more than %s bytes, which one JPEG segment cannot hold",
                   {std::to_string(kMaxPacket)});
        return false;
    }
    const auto delta = static_cast<std::int64_t>(replacement.size()) - static_cast<std::int64_t>(to - from);
    if (delta != 0 && layout.mpfUnread) {
        error = tr(
            "an MPF index this program cannot read, whose entries would no longer hold with the packet's new length");
        return false;
    }
    out.assign(f.substr(0, from));
    out += replacement;
    out.append(f.substr(to));
    for (const MpfIndex& index : layout.mpf) {
        const auto moved = [&](std::size_t at) {
            return at >= to ? static_cast<std::size_t>(static_cast<std::int64_t>(at) + delta) : at;
        };
        // The first picture holds the packet; the later ones move from an
        // index ahead of the packet, not from one after it.
        bool fits = addTo(out, moved(index.firstSize), index.littleEndian, delta);
        for (const std::size_t offset : index.offsets) {
            if (index.segment < from) fits = fits && addTo(out, moved(offset), index.littleEndian, delta);
        }
        if (!fits) {
            error = tr("its MPF entries would not hold the pictures' new places");
            return false;
        }
    }
    return true;
}
