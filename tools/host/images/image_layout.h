// The parts of a JPEG, TIFF, PNG or WebP file that a new XMP packet must
// leave as they were, read by small walkers of our own, apart from the
// library that writes the packet: the proof before a user's image is
// replaced.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class EmbedFormat { Jpeg, Tiff, Png, Webp };

// One part: a name for messages ("the APP2 segment 1", "strip 3 of IFD0")
// that also says whatever is compared besides the bytes (a TIFF entry's
// type and count, a WebP canvas).
struct ImagePart {
    std::string name;
    std::string_view bytes;  // into the file's bytes
};

struct ImageLayout {
    std::vector<ImagePart> parts;
    std::vector<std::string_view> packets;  // the XMP packets' text, into the file's bytes
    // TIFF: a camera's raw image (DNGVersion, or a CFA or linear raw image),
    // whatever the file is named.
    bool cameraRaw = false;
};

// Every part of `file` except its XMP packet: JPEG, the segments before the
// first SOS (those of one marker in their order, APPn and COM apart from
// the rest, whose order matters) and every byte from SOS on; PNG, every
// chunk but XMP's iTXt; WebP, every chunk but "XMP " and the canvas and
// flags of VP8X but its XMP bit; TIFF, every strip, tile and thumbnail and
// every entry of every directory (the image's, SubIFDs, Exif, GPS,
// interoperability) but positions and XMP. False with a one-line reason
// for a file not laid out as its format says, and for a PNG whose XMP is
// compressed.
bool readLayout(EmbedFormat format, std::string_view file, ImageLayout& layout, std::string& error);

// Empty when both hold the same parts; else the first that differs, named
// as `before` names it (or as `after` does, for one only it has).
std::string firstChangedPart(const std::vector<ImagePart>& before, const std::vector<ImagePart>& after);
