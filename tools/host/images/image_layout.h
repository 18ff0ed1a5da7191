// The parts of a JPEG, TIFF, PNG or WebP file that a new XMP packet must
// leave as they were, read by small walkers of our own, apart from the
// writers: the proof before a user's image is replaced. A walker also
// notes where its format's writer puts the packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class EmbedFormat { Jpeg, Tiff, Png, Webp };

// One part, in file order: a name for messages ("APP2 segment 1", "strip 3
// of IFD0") that also says what is compared besides the bytes (a TIFF
// entry's type and count), its bytes, and for a fact that positions
// decide (an MPF offset told from the image data) its value.
struct ImagePart {
    std::string name;
    std::string_view bytes;  // into the file's bytes
    std::string value;
};

// A JPEG's multi-picture index: where its first picture's size and the
// later pictures' offsets stand, which a packet of another length moves.
struct MpfIndex {
    std::size_t segment = 0;  // where its APP2 segment starts
    bool littleEndian = false;
    std::size_t firstSize = 0;  // the first entry's size field
    std::vector<std::size_t> offsets;  // the later entries' offset fields (of non-zero offsets)
};

struct ImageLayout {
    std::vector<ImagePart> parts;
    // Every XMP packet by any reader's count, their text into the file's bytes.
    std::vector<std::string_view> packets;
    // TIFF: a camera's raw image (DNGVersion, or a CFA or linear raw image),
    // whatever the file is named.
    bool cameraRaw = false;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // JPEG: the XMP APP1 segment's marker, or where a new one goes (after
    // the APP0 and Exif segments at the start); its MPF indexes.
    std::size_t xmpSegment = kNone, newSegment = kNone;
    std::vector<MpfIndex> mpf;
    bool mpfUnread = false;  // an MPF segment this program cannot read
    // TIFF: IFD0 and, where it has one, its XMP entry.
    std::size_t ifd0 = 0, xmpEntry = kNone;
    bool bigEndian = false;
};

// Every part of `file` but its XMP packet, in file order: JPEG, every
// segment before the first SOS (with the fill bytes before it) and every
// byte from SOS on; PNG, every chunk but XMP's iTXt; WebP, every chunk but
// "XMP " and the canvas and flags of VP8X but its XMP bit; TIFF, every
// strip, tile and thumbnail and every entry of every directory (the
// image's, SubIFDs, Exif, GPS, interoperability) but positions and XMP.
// False with a one-line reason for a file not laid out as its format says,
// whose parts overlap, whose container's size disagrees with its parts,
// or that holds XMP where readers differ on it.
bool readLayout(EmbedFormat format, std::string_view file, ImageLayout& layout, std::string& error);

// Empty when both hold the same parts; else the first that differs, named
// as `before` names it (or as `after` does, for one only it has).
std::string firstChangedPart(const std::vector<ImagePart>& before, const std::vector<ImagePart>& after);
