// The PNG and WebP walkers: chunks stepped over by their lengths, each kept
// whole in file order, the container's end where its chunks end.
#include "file_bytes.h"
#include "layout_walk.h"
#include "text/messages.h"
#include "webp_canvas.h"

namespace {

using Bytes = std::string_view;

const Bytes kXmpKeyword("XML:com.adobe.xmp\0", 18);

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// After an iTXt chunk's keyword: the compression flag and method, a
// language tag and a translated keyword (each ended by a NUL), the text.
bool pngPacket(Bytes rest, ImageLayout& layout, std::string& error) {
    const std::size_t language = rest.size() >= 2 ? rest.find('\0', 2) : Bytes::npos;
    const std::size_t translated = language == Bytes::npos ? Bytes::npos : rest.find('\0', language + 1);
    if (translated == Bytes::npos) {
        error = tr("an XMP chunk cut short");
        return false;
    }
    if (rest[0] != 0) {
        error = tr("its XMP chunk is compressed, which this program does not rewrite");
        return false;
    }
    layout.packets.push_back(rest.substr(translated + 1));
    return true;
}

}  // namespace

bool pngLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.substr(0, 8) != Bytes("\x89PNG\r\n\x1A\n", 8)) {
        error = tr("not a PNG file");
        return false;
    }
    for (std::size_t at = 8, n = 0;;) {
        if (tooManyParts(parts.size(), error)) return false;
        if (at + 12 > f.size() || be32(f, at) > f.size() - at - 12) {
            error = tr("a chunk cut short at offset %s", {std::to_string(at)});
            return false;
        }
        const std::size_t length = be32(f, at);
        const Bytes type = f.substr(at + 4, 4);
        const Bytes chunk = f.substr(at, length + 12);
        const Bytes data = chunk.substr(8, length);
        at += length + 12;
        if ((type == "iTXt" || type == "tEXt" || type == "zTXt") &&
            (startsWithIgnoringCase(data, kXmpKeyword) ||
             startsWithIgnoringCase(data, Bytes("Raw profile type xmp\0", 21)))) {
            if (type != "iTXt" || data.substr(0, kXmpKeyword.size()) != kXmpKeyword) {
                error = tr("XMP in a %s chunk of another keyword or form, which readers differ on", {std::string(type)});
                return false;
            }
            if (!pngPacket(data.substr(kXmpKeyword.size()), layout, error)) return false;
            continue;
        }
        parts.push_back({tr("chunk %1$s (%2$s)", {std::to_string(n++), std::string(type)}), chunk, {}});
        if (type == "IEND") {
            const Bytes rest = f.substr(at);
            if (rest.size() >= 12 && isLetter(rest[4]) && isLetter(rest[5]) && isLetter(rest[6]) && isLetter(rest[7])) {
                error = tr("a chunk after IEND, past the end of the image");
                return false;
            }
            if (!rest.empty()) parts.push_back({tr("the bytes after IEND"), rest, {}});
            return true;
        }
    }
}

bool webpLayout(Bytes f, ImageLayout& layout, std::string& error) {
    std::vector<ImagePart>& parts = layout.parts;
    if (f.size() < 12 || f.substr(0, 4) != "RIFF" || f.substr(8, 4) != "WEBP") {
        error = tr("not a WebP file");
        return false;
    }
    if (std::uint64_t{le32(f, 4)} + 8 != f.size()) {
        error = tr("its RIFF header gives %1$s bytes, and the file holds %2$s",
                   {std::to_string(std::uint64_t{le32(f, 4)} + 8), std::to_string(f.size())});
        return false;
    }
    WebpCanvas canvas;
    bool extended = false;
    for (std::size_t at = 12, n = 0; at < f.size();) {
        if (tooManyParts(parts.size(), error)) return false;
        const std::uint64_t length = at + 8 <= f.size() ? le32(f, at + 4) : 0;
        const std::uint64_t next = at + 8 + length + (length & 1);
        if (at + 8 > f.size() || next > f.size()) {
            error = tr("a chunk runs past the end of the file at offset %s", {std::to_string(at)});
            return false;
        }
        const Bytes type = f.substr(at, 4);
        if (type == "VP8X" && length >= 10) {
            extended = true;
            canvas = {(le32(f, at + 8) & ~WebpCanvas::kXmpFlag) & 0xFF, (le32(f, at + 12) & 0xFFFFFF) + 1,
                      (le32(f, at + 14) >> 8) + 1};
        } else if (startsWithIgnoringCase(type, "XMP ")) {
            if (type != "XMP ") {
                error = tr("a chunk \"%s\", XMP's but for its letter case, which readers differ on",
                           {std::string(type)});
                return false;
            }
            layout.packets.push_back(f.substr(at + 8, static_cast<std::size_t>(length)));
        } else {
            parts.push_back({tr("chunk %1$s (%2$s)", {std::to_string(n++), std::string(type)}),
                             f.substr(at, static_cast<std::size_t>(next - at)),
                             {}});
        }
        at = static_cast<std::size_t>(next);
    }
    // A file of one bitstream has no VP8X until a packet brings one: its
    // canvas is then the bitstream's.
    if (!extended && !simpleWebpCanvas(f, canvas, error)) return false;
    parts.push_back(
        {tr("the canvas and flags"),
         {},
         std::to_string(canvas.width) + "x" + std::to_string(canvas.height) + ", " + hexNumber(canvas.flags, 2)});
    return true;
}
