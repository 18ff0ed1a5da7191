// The JPEG walker: segments stepped over by their lengths up to the first
// SOS, each kept whole in file order, the packet's APP1 apart.
#include <algorithm>

#include "file_bytes.h"
#include "layout_walk.h"
#include "text/messages.h"

namespace {

using Bytes = std::string_view;

const Bytes kXmpSignature("http://ns.adobe.com/xap/1.0/\0", 29);
const Bytes kExtendedSignature("http://ns.adobe.com/xmp/extension/\0", 35);

std::string markerName(std::uint32_t marker) {
    if (marker >= 0xE0 && marker <= 0xEF) return "APP" + std::to_string(marker - 0xE0);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return "SOF" + std::to_string(marker - 0xC0);
    switch (marker) {
    case 0xC4: return "DHT";
    case 0xCC: return "DAC";
    case 0xDB: return "DQT";
    case 0xDD: return "DRI";
    case 0xFE: return "COM";
    default: return tr("marker %s", {hexNumber(marker, 2)});
    }
}

// A multi-picture index (phones' depth and gain maps, Ultra HDR): a TIFF
// structure after "MPF\0" whose MPEntry tag holds 16 bytes a picture: its
// attributes, size, offset (from the structure's byte-order mark) and two
// dependent pictures. False for one this program cannot read.
bool readMpf(Bytes f, std::size_t marker, std::size_t end, MpfIndex& index) {
    const std::size_t base = marker + 8;
    if (base + 8 > end || !(f.substr(base, 4) == Bytes("II*\0", 4) || f.substr(base, 4) == Bytes("MM\0*", 4)))
        return false;
    index.littleEndian = f[base] == 'I';
    const auto get16 = [&](std::size_t at) { return index.littleEndian ? le16(f, at) : be16(f, at); };
    const auto get32 = [&](std::size_t at) { return index.littleEndian ? le32(f, at) : be32(f, at); };
    const std::uint64_t ifd = base + std::uint64_t{get32(base + 4)};
    if (ifd + 2 > end || ifd + 2 + 12 * std::uint64_t{get16(ifd)} > end) return false;
    for (std::size_t i = 0, n = get16(ifd); i < n; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (get16(entry) != 0xB002) continue;
        const std::uint32_t count = get32(entry + 4);
        const std::uint64_t at = base + std::uint64_t{get32(entry + 8)};
        if (count < 16 || count % 16 != 0 || at + count > end) return false;
        index.segment = marker;
        index.firstSize = static_cast<std::size_t>(at) + 4;
        for (std::size_t picture = 1; picture < count / 16; ++picture) {
            const std::size_t offset = static_cast<std::size_t>(at) + 16 * picture + 8;
            if (get32(offset) != 0) index.offsets.push_back(offset);
        }
        return true;
    }
    return false;
}

// The MPF segment's bytes but the fields that positions decide, in pieces.
void mpfPieces(Bytes f, std::size_t start, std::size_t end, const MpfIndex& index, const std::string& name,
               std::vector<ImagePart>& parts) {
    std::vector<std::size_t> fields = index.offsets;
    fields.push_back(index.firstSize);
    std::sort(fields.begin(), fields.end());
    std::size_t from = start;
    for (std::size_t i = 0; i <= fields.size(); ++i) {
        const std::size_t to = i < fields.size() ? fields[i] : end;
        parts.push_back({tr("%1$s (MPF), piece %2$s", {name, std::to_string(i + 1)}), f.substr(from, to - from), {}});
        from = to + 4;
    }
}

// The MP entries told from where the image data starts: a packet of
// another length must leave these as they were.
void mpfFacts(Bytes f, const MpfIndex& index, std::size_t ordinal, std::size_t imageData,
              std::vector<ImagePart>& parts) {
    const auto get32 = [&](std::size_t at) { return index.littleEndian ? le32(f, at) : be32(f, at); };
    const auto told = [&](std::int64_t value) { return std::to_string(value - static_cast<std::int64_t>(imageData)); };
    const std::string of = std::to_string(ordinal);
    parts.push_back({tr("the first picture's size, told from its image data (MPF index %s)", {of}),
                     {},
                     told(get32(index.firstSize))});
    for (std::size_t i = 0; i < index.offsets.size(); ++i) {
        parts.push_back(
            {tr("the place of picture %1$s, told from the image data (MPF index %2$s)", {std::to_string(i + 2), of}),
             {},
             told(static_cast<std::int64_t>(index.segment + 8) + get32(index.offsets[i]))});
    }
}

}  // namespace

bool jpegLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.size() < 4 || byteAt(f, 0) != 0xFF || byteAt(f, 1) != 0xD8) {
        error = tr("not a JPEG file");
        return false;
    }
    bool extended = false;
    std::size_t seen[256] = {};
    for (std::size_t at = 2;;) {
        if (tooManyParts(parts.size(), error)) return false;
        if (at >= f.size()) {
            error = tr("cut short before its image data");
            return false;
        }
        if (byteAt(f, at) != 0xFF) {
            error = tr("a byte that is not a marker at offset %s", {std::to_string(at)});
            return false;
        }
        const std::size_t start = at;
        while (at < f.size() && byteAt(f, at) == 0xFF) ++at;  // fill bytes
        if (at >= f.size()) continue;
        const std::size_t marker = at - 1;
        const std::uint32_t code = byteAt(f, at++);
        if (code == 0xDA) {
            if (layout.newSegment == ImageLayout::kNone) layout.newSegment = start;
            parts.push_back({tr("the image data (from SOS on)"), f.substr(start), {}});
            for (std::size_t i = 0; i < layout.mpf.size(); ++i) mpfFacts(f, layout.mpf[i], i + 1, start, parts);
            break;
        }
        if (code == 0xD8 || code == 0xD9) {
            error = code == 0xD9 ? tr("no image data before EOI") : tr("no image data before a second SOI");
            return false;
        }
        const std::string name = tr("%1$s segment %2$s", {markerName(code), std::to_string(++seen[code])});
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {  // standalone
            parts.push_back({name, f.substr(start, at - start), {}});
            continue;
        }
        if (at + 2 > f.size() || be16(f, at) < 2 || at + be16(f, at) > f.size()) {
            error = tr("a segment cut short or of a length below 2 at offset %s", {std::to_string(start)});
            return false;
        }
        const std::size_t end = at + be16(f, at);
        const Bytes body = f.substr(at + 2, end - at - 2);
        at = end;
        // A new packet goes after the JFIF and Exif segments that open the file.
        if (layout.newSegment == ImageLayout::kNone &&
            !(code == 0xE0 || (code == 0xE1 && body.substr(0, 6) == Bytes("Exif\0\0", 6))))
            layout.newSegment = start;
        if (code == 0xE1 && startsWithIgnoringCase(body, kXmpSignature.substr(0, 28))) {
            if (body.substr(0, kXmpSignature.size()) != kXmpSignature) {
                error = tr(
                    "an APP1 segment whose signature is XMP's but for its letter case or ending, which readers "
                    "differ on");
                return false;
            }
            --seen[code];  // the other APP1 segments keep their numbers, whether a packet is there or not
            Bytes packet = body.substr(kXmpSignature.size());
            const std::size_t text = packet.find_last_not_of('\0') + 1;  // NUL padding after it stays
            if (start < marker)
                parts.push_back({tr("the fill bytes before the XMP segment"), f.substr(start, marker - start), {}});
            if (text < packet.size())
                parts.push_back({tr("the NUL bytes after the XMP packet"), packet.substr(text), {}});
            layout.packets.push_back(packet.substr(0, text));
            if (layout.xmpSegment == ImageLayout::kNone) layout.xmpSegment = marker;
            continue;
        }
        if (code == 0xE1 && startsWithIgnoringCase(body, kExtendedSignature.substr(0, 34))) {
            if (body.substr(0, kExtendedSignature.size()) != kExtendedSignature) {
                error = tr(
                    "an APP1 segment whose signature is ExtendedXMP's but for its letter case or ending, which "
                    "readers differ on");
                return false;
            }
            extended = true;
        }
        MpfIndex index;
        if (code == 0xE2 && body.substr(0, 4) == Bytes("MPF\0", 4)) {
            if (readMpf(f, marker, end, index)) {
                layout.mpf.push_back(index);
                mpfPieces(f, start, end, index, name, parts);
                continue;
            }
            layout.mpfUnread = true;
        }
        parts.push_back({name, f.substr(start, end - start), {}});
    }
    if (extended && layout.packets.empty()) {
        error = tr("holds ExtendedXMP without the main XMP packet that names it");
        return false;
    }
    return true;
}
