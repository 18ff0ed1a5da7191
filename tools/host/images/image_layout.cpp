#include "image_layout.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <set>
#include <utility>

#include "file_bytes.h"
#include "webp_canvas.h"

namespace {

using Bytes = std::string_view;

std::string hex(std::uint32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int d = digits - 1; d >= 0; --d) text += kDigits[(value >> (4 * d)) & 0xF];
    return text;
}

const char kXmpSegment[] = "http://ns.adobe.com/xap/1.0/";  // and a NUL

// Far more parts than any image has: a file made to have more (each part
// costs a name) is refused rather than compared in gigabytes.
constexpr std::size_t kMaxParts = 1 << 20;

bool tooMany(std::size_t parts, std::string& error) {
    if (parts <= kMaxParts) return false;
    error = "more than " + std::to_string(kMaxParts) + " segments, chunks or entries";
    return true;
}

const char kXmpChunkKeyword[] = "XML:com.adobe.xmp";  // and a NUL

// After an iTXt chunk's keyword: the compression flag and method, a
// language tag and a translated keyword (each ended by a NUL), the text.
bool pngPacket(Bytes rest, ImageLayout& layout, std::string& error) {
    const std::size_t language = rest.size() >= 2 ? rest.find('\0', 2) : Bytes::npos;
    const std::size_t translated = language == Bytes::npos ? Bytes::npos : rest.find('\0', language + 1);
    if (translated == Bytes::npos) {
        error = "an XMP chunk cut short";
        return false;
    }
    if (rest[0] != 0) {
        error = "its XMP chunk is compressed, which this program does not rewrite";
        return false;
    }
    layout.packets.push_back(rest.substr(translated + 1));
    return true;
}

std::string jpegMarkerName(std::uint32_t marker) {
    if (marker >= 0xE0 && marker <= 0xEF) return "APP" + std::to_string(marker - 0xE0);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return "SOF" + std::to_string(marker - 0xC0);
    switch (marker) {
    case 0xC4: return "DHT";
    case 0xCC: return "DAC";
    case 0xDB: return "DQT";
    case 0xDD: return "DRI";
    case 0xFE: return "COM";
    default: return "marker " + hex(marker, 2);
    }
}

bool jpegLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.size() < 4 || byteAt(f, 0) != 0xFF || byteAt(f, 1) != 0xD8) {
        error = "not a JPEG file";
        return false;
    }
    // Applications' segments may be laid out in another order by a writer
    // (Exiv2 puts the XMP before an ICC profile); the order of one marker's
    // segments (an ICC profile's pieces), and of the tables and the frame,
    // is kept.
    std::vector<std::pair<std::uint32_t, ImagePart>> applications;
    std::vector<std::size_t> pictureIndexes;  // where each MPF segment starts
    std::size_t seen[256] = {};
    for (std::size_t at = 2;;) {
        if (tooMany(parts.size() + applications.size(), error)) return false;
        if (at >= f.size()) {
            error = "cut short before its image data";
            return false;
        }
        if (byteAt(f, at) != 0xFF) {
            error = "a byte that is not a marker at offset " + std::to_string(at);
            return false;
        }
        const std::size_t start = at;
        while (at < f.size() && byteAt(f, at) == 0xFF) ++at;  // fill bytes
        if (at >= f.size()) continue;
        const std::uint32_t marker = byteAt(f, at++);
        if (marker == 0xDA) {
            parts.push_back({"the image data (from SOS on)", f.substr(start)});
            // A multi-picture index (phones' depth and gain maps) points at
            // the pictures after the first from itself: bytes added between
            // the two would leave it pointing at the wrong place.
            for (std::size_t index : pictureIndexes)
                parts.push_back({"the place of the pictures after the first (" + std::to_string(start - index) +
                                     " bytes past the MPF segment)",
                                 Bytes()});
            break;
        }
        if (marker == 0xD8 || marker == 0xD9) {
            error = "no image data before " + std::string(marker == 0xD9 ? "EOI" : "a second SOI");
            return false;
        }
        const std::string name = jpegMarkerName(marker) + " segment " + std::to_string(++seen[marker]);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // standalone
            parts.push_back({name, f.substr(start, at - start)});
            continue;
        }
        if (at + 2 > f.size() || be16(f, at) < 2 || at + be16(f, at) > f.size()) {
            error = "a segment cut short or of a length below 2 at offset " + std::to_string(start);
            return false;
        }
        const Bytes segment = f.substr(start, at + be16(f, at) - start);
        const Bytes body = f.substr(at + 2, be16(f, at) - 2);
        at += be16(f, at);
        if (marker == 0xE1 && body.substr(0, sizeof kXmpSegment) == Bytes(kXmpSegment, sizeof kXmpSegment)) {
            --seen[marker];
            layout.packets.push_back(body.substr(sizeof kXmpSegment));
            continue;
        }
        if (marker == 0xE2 && body.substr(0, 4) == Bytes("MPF\0", 4)) pictureIndexes.push_back(start);
        if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            applications.push_back({marker, {name, segment}});
        } else {
            parts.push_back({name, segment});
        }
    }
    std::stable_sort(applications.begin(), applications.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& application : applications) parts.push_back(std::move(application.second));
    return true;
}

bool pngLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.substr(0, 8) != Bytes("\x89PNG\r\n\x1A\n", 8)) {
        error = "not a PNG file";
        return false;
    }
    for (std::size_t at = 8, n = 0;;) {
        if (tooMany(parts.size(), error)) return false;
        if (at + 12 > f.size() || be32(f, at) > f.size() - at - 12) {
            error = "a chunk cut short at offset " + std::to_string(at);
            return false;
        }
        const std::size_t length = be32(f, at);
        const Bytes type = f.substr(at + 4, 4);
        const Bytes chunk = f.substr(at, length + 12);
        at += length + 12;
        if (type == "iTXt" && length >= sizeof kXmpChunkKeyword &&
            chunk.substr(8, sizeof kXmpChunkKeyword) == Bytes(kXmpChunkKeyword, sizeof kXmpChunkKeyword)) {
            if (!pngPacket(chunk.substr(8 + sizeof kXmpChunkKeyword, length - sizeof kXmpChunkKeyword), layout, error))
                return false;
            continue;
        }
        parts.push_back({"chunk " + std::to_string(n++) + " (" + std::string(type) + ")", chunk});
        if (type == "IEND") {
            if (at < f.size()) parts.push_back({"the bytes after IEND", f.substr(at)});
            return true;
        }
    }
}

bool webpLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.size() < 12 || f.substr(0, 4) != "RIFF" || f.substr(8, 4) != "WEBP") {
        error = "not a WebP file";
        return false;
    }
    if (le32(f, 4) > f.size() - 8) {
        error = "cut short (its RIFF header says more bytes than there are)";
        return false;
    }
    const std::size_t end = 8 + std::size_t{le32(f, 4)};
    WebpCanvas canvas;
    bool extended = false;
    for (std::size_t at = 12, n = 0; at < end;) {
        if (tooMany(parts.size(), error)) return false;
        if (at + 8 > end || le32(f, at + 4) > end - at - 8) {
            error = "a chunk cut short at offset " + std::to_string(at);
            return false;
        }
        const std::size_t length = le32(f, at + 4);
        const std::size_t next = std::min(end, at + 8 + length + (length & 1));
        const Bytes type = f.substr(at, 4);
        if (type == "VP8X" && length >= 10) {
            extended = true;
            canvas = {(le32(f, at + 8) & ~WebpCanvas::kXmpFlag) & 0xFF, (le32(f, at + 12) & 0xFFFFFF) + 1,
                      (le32(f, at + 14) >> 8) + 1};
        } else if (type == "XMP ") {
            layout.packets.push_back(f.substr(at + 8, length));
        } else {
            parts.push_back({"chunk " + std::to_string(n++) + " (" + std::string(type) + ")", f.substr(at, next - at)});
        }
        at = next;
    }
    // A file of one bitstream has no VP8X until a packet brings one: its
    // canvas is then the bitstream's.
    if (!extended && !simpleWebpCanvas(f, canvas, error)) return false;
    parts.push_back({"the canvas and flags (" + std::to_string(canvas.width) + "x" + std::to_string(canvas.height) +
                         ", " + hex(canvas.flags, 2) + ")",
                     Bytes()});
    if (end < f.size()) parts.push_back({"the bytes after the RIFF chunk", f.substr(end)});
    return true;
}

class TiffWalker {
public:
    TiffWalker(Bytes f, ImageLayout& layout) : f_(f), layout_(layout), big_(byteAt(f, 0) == 'M') {}

    bool walk(std::string& error) {
        std::deque<std::pair<std::uint32_t, std::string>> queue{{get32(4), "IFD0"}};
        std::set<std::uint32_t> visited;
        for (std::size_t chain = 1; !queue.empty(); queue.pop_front()) {
            const auto [offset, name] = queue.front();
            if (offset == 0) continue;
            if (!visited.insert(offset).second || visited.size() > 256) {
                error = "its directories loop or are too many";
                return false;
            }
            std::uint32_t next = 0;
            if (!directory(offset, name, queue, next, error)) return false;
            // Only the image's own chain goes on to a next directory.
            if (name.compare(0, 3, "IFD") == 0 && name.find(' ') == std::string::npos)
                queue.emplace_back(next, "IFD" + std::to_string(chain++));
        }
        return true;
    }

private:
    std::uint32_t get16(std::size_t at) const { return big_ ? be16(f_, at) : le16(f_, at); }
    std::uint32_t get32(std::size_t at) const { return big_ ? be32(f_, at) : le32(f_, at); }

    static std::uint64_t typeSize(std::uint32_t type) {
        static const std::uint64_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
        return type < sizeof kSizes / sizeof kSizes[0] ? kSizes[type] : 0;
    }

    // Each value of an entry of SHORT or LONG (or IFD) values.
    bool values(Bytes value, std::uint32_t type, std::vector<std::uint32_t>& out) const {
        const std::size_t size = type == 3 ? 2 : (type == 4 || type == 13) ? 4 : 0;
        if (size == 0) return false;
        const std::size_t base = static_cast<std::size_t>(value.data() - f_.data());
        for (std::size_t i = 0; i < value.size() / size; ++i)
            out.push_back(size == 2 ? get16(base + 2 * i) : get32(base + 4 * i));
        return true;
    }

    bool directory(std::uint32_t offset, const std::string& name,
                   std::deque<std::pair<std::uint32_t, std::string>>& queue, std::uint32_t& next, std::string& error) {
        if (std::uint64_t{offset} + 2 > f_.size() ||
            std::uint64_t{offset} + 6 + 12 * std::uint64_t{get16(offset)} > f_.size()) {
            error = name + " lies past the end of the file";
            return false;
        }
        const std::uint32_t count = get16(offset);
        next = get32(offset + 2 + 12 * count);
        std::vector<std::uint32_t> dataOffsets, dataCounts;
        std::uint32_t thumbnail = 0, thumbnailLength = 0;
        std::size_t subIfds = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (tooMany(layout_.parts.size() + dataOffsets.size(), error)) return false;
            const std::size_t entry = offset + 2 + 12 * std::size_t{i};
            const std::uint32_t tag = get16(entry), type = get16(entry + 2), n = get32(entry + 4);
            const std::uint64_t size = typeSize(type) * n;
            Bytes value = f_.substr(entry + 8, 4);
            if (size > 4) {
                if (get32(entry + 8) > f_.size() || size > f_.size() - get32(entry + 8)) {
                    error = "tag " + hex(tag, 4) + " of " + name + " points past the end of the file";
                    return false;
                }
                value = f_.substr(get32(entry + 8), static_cast<std::size_t>(size));
            } else if (typeSize(type) != 0) {
                value = value.substr(0, static_cast<std::size_t>(size));
            }
            std::vector<std::uint32_t> numbers;
            if (tag == 50706 ||
                (tag == 262 && type == 3 && n == 1 && (get16(entry + 8) == 32803 || get16(entry + 8) == 34892)))
                layout_.cameraRaw = true;  // DNGVersion; PhotometricInterpretation CFA or LinearRaw
            switch (tag) {
            case 273:  // StripOffsets
            case 324:  // TileOffsets
                if (!values(value, type, dataOffsets)) break;
                continue;
            case 279:  // StripByteCounts, kept as an entry too
            case 325:  // TileByteCounts
                values(value, type, dataCounts);
                break;
            case 513:  // JPEGInterchangeFormat
                if (n == 1) thumbnail = get32(entry + 8);
                continue;
            case 514:  // its length
                if (n == 1) thumbnailLength = get32(entry + 8);
                break;
            case 330:  // SubIFDs
            case 34665:  // the Exif directory
            case 34853:  // GPS
            case 40965:  // interoperability
                if (!values(value, type, numbers)) break;
                for (std::uint32_t at : numbers) {
                    queue.emplace_back(at, tag == 330     ? "SubIFD " + std::to_string(subIfds++) + " of " + name
                                           : tag == 34665 ? "the Exif directory of " + name
                                           : tag == 34853 ? "the GPS directory of " + name
                                                          : "the interoperability directory of " + name);
                }
                continue;
            case 700:  // the XMP packet
                layout_.packets.push_back(value);
                continue;
            default: break;
            }
            layout_.parts.push_back({"tag " + hex(tag, 4) + " of " + name + " (type " + std::to_string(type) + ", " +
                                         std::to_string(n) + " values)",
                                     value});
        }
        if (dataOffsets.size() != dataCounts.size()) {
            error = name + " has " + std::to_string(dataOffsets.size()) + " strips or tiles and " +
                    std::to_string(dataCounts.size()) + " lengths for them";
            return false;
        }
        if (thumbnail != 0) {
            dataOffsets.push_back(thumbnail);
            dataCounts.push_back(thumbnailLength);
        }
        for (std::size_t i = 0; i < dataOffsets.size(); ++i) {
            if (tooMany(layout_.parts.size(), error)) return false;
            if (dataOffsets[i] > f_.size() || dataCounts[i] > f_.size() - dataOffsets[i]) {
                error = "image data of " + name + " lies past the end of the file";
                return false;
            }
            const bool isThumbnail = thumbnail != 0 && i + 1 == dataOffsets.size();
            layout_.parts.push_back(
                {(isThumbnail ? std::string("the thumbnail") : "strip or tile " + std::to_string(i)) + " of " + name,
                 f_.substr(dataOffsets[i], dataCounts[i])});
        }
        return true;
    }

    Bytes f_;
    ImageLayout& layout_;
    bool big_;
};

bool tiffLayout(Bytes f, ImageLayout& layout, std::string& error) {
    if (f.size() < 8 || !(f.substr(0, 4) == Bytes("II*\0", 4) || f.substr(0, 4) == Bytes("MM\0*", 4))) {
        error = "not a classic TIFF file";
        return false;
    }
    return TiffWalker(f, layout).walk(error);
}

}  // namespace

bool readLayout(EmbedFormat format, std::string_view file, ImageLayout& layout, std::string& error) {
    layout = ImageLayout();
    switch (format) {
    case EmbedFormat::Jpeg: return jpegLayout(file, layout, error);
    case EmbedFormat::Png: return pngLayout(file, layout, error);
    case EmbedFormat::Webp: return webpLayout(file, layout, error);
    case EmbedFormat::Tiff: return tiffLayout(file, layout, error);
    }
    return false;
}

std::string firstChangedPart(const std::vector<ImagePart>& before, const std::vector<ImagePart>& after) {
    const std::size_t n = std::min(before.size(), after.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (before[i].name != after[i].name || before[i].bytes != after[i].bytes) return before[i].name;
    }
    if (before.size() > n) return before[n].name;
    if (after.size() > n) return after[n].name;
    return std::string();
}
