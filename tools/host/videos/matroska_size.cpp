// Matroska and WebM: EBML elements stepped over by their sizes as far as
// Tracks (through the SeekHead when Tracks comes after the first Cluster),
// the video track's PixelWidth and PixelHeight; Clusters are never read.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "text/messages.h"
#include "videos/video_readers.h"

namespace {

constexpr std::uint32_t kEbml = 0x1A45DFA3, kSegment = 0x18538067, kSeekHead = 0x114D9B74, kSeek = 0x4DBB,
                        kSeekId = 0x53AB, kSeekPosition = 0x53AC, kTracks = 0x1654AE6B, kCluster = 0x1F43B675,
                        kTrackEntry = 0xAE, kTrackType = 0x83, kCodecId = 0x86, kFlagEnabled = 0xB9, kVideo = 0xE0,
                        kPixelWidth = 0xB0, kPixelHeight = 0xBA;
constexpr int kMaxElements = 100000;
constexpr std::int64_t kUnknown = -1;

struct Element {
    std::uint32_t id = 0;
    std::int64_t body = 0, end = 0;  // end is kUnknown for an element of unknown size
};

class Elements {
public:
    explicit Elements(BoundedReader& in) : in_(in) {}

    // The element at `at` within [at, limit); false with the reason, or with
    // an empty reason at `limit`.
    bool next(std::int64_t at, std::int64_t limit, Element& element, std::string& error) {
        error.clear();
        if (at >= limit) return false;
        if (--budget_ < 0) {
            error = tr("more than %s elements before its tracks", {std::to_string(kMaxElements)});
            return false;
        }
        unsigned char bytes[12];
        const long n = in_.readSome(at, bytes, static_cast<std::size_t>(std::min<std::int64_t>(12, limit - at)));
        int idLength = 0, sizeLength = 0;
        std::uint64_t size = 0;
        if (n < 0 || !vint(bytes, n, 0, 4, idLength, element.id, true) ||
            !vintSize(bytes, n, idLength, sizeLength, size)) {
            error = n < 0 ? in_.error() : tr("an element damaged or cut short at byte %s", {std::to_string(at)});
            return false;
        }
        element.body = at + idLength + sizeLength;
        if (size == ~std::uint64_t{0}) {
            element.end = kUnknown;
        } else if (size > static_cast<std::uint64_t>(limit - element.body)) {
            error = tr("an element at byte %s runs past what holds it", {std::to_string(at)});
            return false;
        } else {
            element.end = element.body + static_cast<std::int64_t>(size);
        }
        return true;
    }

    // The first `count` bytes of an element's data.
    bool bytes(const Element& element, void* out, std::size_t count, std::string& error) {
        if (in_.read(element.body, out, count)) return true;
        error = in_.error();
        return false;
    }

    // An unsigned integer element's value.
    bool number(const Element& element, std::uint64_t& value, std::string& error) {
        unsigned char bytes[8];
        const std::int64_t length = element.end - element.body;
        if (element.end == kUnknown || length > 8 || !in_.read(element.body, bytes, static_cast<std::size_t>(length))) {
            error = tr("a number element damaged at byte %s", {std::to_string(element.body)});
            return false;
        }
        value = bigEndian(bytes, static_cast<int>(length));
        return true;
    }

private:
    // A variable-length integer of 1 to `most` bytes at `at`: its length is
    // told by the leading zero bits of its first byte.
    static bool vint(const unsigned char* bytes, long n, int at, int most, int& length, std::uint32_t& id,
                     bool keepMarker) {
        if (at >= n || bytes[at] == 0) return false;
        length = 1;
        while ((bytes[at] & (0x80 >> (length - 1))) == 0) ++length;
        if (length > most || at + length > n) return false;
        std::uint64_t v = keepMarker ? bytes[at] : bytes[at] & (0xFF >> length);
        for (int i = 1; i < length; ++i) v = v << 8 | bytes[at + i];
        id = static_cast<std::uint32_t>(v);
        return true;
    }

    // A size: all value bits set is "unknown".
    static bool vintSize(const unsigned char* bytes, long n, int at, int& length, std::uint64_t& size) {
        if (at >= n || bytes[at] == 0) return false;
        length = 1;
        while ((bytes[at] & (0x80 >> (length - 1))) == 0) ++length;
        if (at + length > n) return false;
        std::uint64_t v = bytes[at] & (0xFF >> length);
        bool allOnes = v == static_cast<std::uint64_t>(0xFF >> length);
        for (int i = 1; i < length; ++i) {
            v = v << 8 | bytes[at + i];
            allOnes = allOnes && bytes[at + i] == 0xFF;
        }
        size = allOnes ? ~std::uint64_t{0} : v;
        return true;
    }

    BoundedReader& in_;
    int budget_ = kMaxElements;
};

struct Tracks {
    std::uint64_t width = 0, height = 0;
};

// A TrackEntry: a video track's size, if it is an enabled one.
// One of a track's elements that a track holds once at most: a second one,
// or one of unknown size, is damage that readers take each their own way.
bool once(const Element& element, std::vector<std::uint32_t>& seen, std::string& error) {
    if (element.end != kUnknown && std::find(seen.begin(), seen.end(), element.id) == seen.end()) {
        seen.push_back(element.id);
        return true;
    }
    error = tr("a track entry damaged at byte %s (an element twice, or of no size)", {std::to_string(element.body)});
    return false;
}

bool trackEntry(Elements& elements, const Element& entry, Tracks& tracks, std::string& error) {
    std::uint64_t type = 0, enabled = 1, width = 0, height = 0;
    char codec[2] = {};
    Element child, field;
    std::vector<std::uint32_t> seen;
    for (std::int64_t at = entry.body; elements.next(at, entry.end, child, error); at = child.end) {
        if (!once(child, seen, error)) return false;
        if (child.id == kCodecId && child.end - child.body >= 2 && !elements.bytes(child, codec, 2, error))
            return false;
        if (child.id == kTrackType && !elements.number(child, type, error)) return false;
        if (child.id == kFlagEnabled && !elements.number(child, enabled, error)) return false;
        if (child.id != kVideo) continue;
        for (std::int64_t f = child.body; elements.next(f, child.end, field, error); f = field.end) {
            if (!once(field, seen, error)) return false;
            if (field.id == kPixelWidth && !elements.number(field, width, error)) return false;
            if (field.id == kPixelHeight && !elements.number(field, height, error)) return false;
        }
        if (!error.empty()) return false;
    }
    if (!error.empty()) return false;
    // A track of an audio or subtitle codec is none of the video's, whatever its type says.
    const bool otherCodec = (codec[0] == 'A' || codec[0] == 'S') && codec[1] == '_';
    if (type == 1 && enabled != 0 && !otherCodec && width * height > tracks.width * tracks.height &&
        width <= 0xFFFFFFFF && height <= 0xFFFFFFFF) {
        tracks.width = width;
        tracks.height = height;
    }
    return true;
}

// Where the SeekHead says Tracks is, from the Segment's data; -1 if it does not.
bool seekTracks(Elements& elements, const Element& head, std::int64_t segment, std::int64_t& tracks,
                std::string& error) {
    Element seek, field;
    for (std::int64_t at = head.body; elements.next(at, head.end, seek, error); at = seek.end) {
        if (seek.id != kSeek || seek.end == kUnknown) continue;
        std::uint64_t id = 0, position = 0;
        for (std::int64_t f = seek.body; elements.next(f, seek.end, field, error); f = field.end) {
            if (field.end == kUnknown) break;
            if (field.id == kSeekId && !elements.number(field, id, error)) return false;
            if (field.id == kSeekPosition && !elements.number(field, position, error)) return false;
        }
        if (!error.empty()) return false;
        if (id == kTracks && position < static_cast<std::uint64_t>(INT64_MAX - segment))
            tracks = segment + static_cast<std::int64_t>(position);
    }
    return error.empty();
}

}  // namespace

bool readMatroskaSize(BoundedReader& in, VideoSize& size, std::string& error) {
    Elements elements(in);
    Element header, segment;
    // A file cut short keeps its Segment's size: its elements are read as
    // far as the first Cluster, which is all there is to read.
    constexpr std::int64_t kNoEnd = INT64_MAX;
    if (!elements.next(0, in.size(), header, error) || header.id != kEbml || header.end == kUnknown ||
        !elements.next(header.end, kNoEnd, segment, error) || segment.id != kSegment) {
        if (error.empty()) error = tr("not a Matroska file (no EBML header and Segment)");
        return false;
    }
    const std::int64_t end = segment.end == kUnknown ? kNoEnd : segment.end;
    std::int64_t seekTo = -1;
    bool sought = false, found = false;
    Tracks tracks;
    Element element;
    for (std::int64_t at = segment.body; at < in.size() && elements.next(at, end, element, error);) {
        if (element.id == kCluster || element.end == kUnknown) {
            // Frames from here on: Tracks was before them, or is where the
            // SeekHead says.
            if (found) break;
            if (sought || seekTo <= at || seekTo >= in.size()) {
                error = tr("no Tracks before its first Cluster, and no SeekHead naming one");
                return false;
            }
            at = seekTo;
            sought = true;
            continue;
        }
        if (element.id == kSeekHead && !seekTracks(elements, element, segment.body, seekTo, error)) return false;
        if (element.id == kTracks) {
            // One Tracks, where a reader that follows the SeekHead finds it too.
            if (found || (seekTo >= 0 && seekTo != at)) {
                error = tr("two Tracks elements, or a SeekHead that names another");
                return false;
            }
            Element entry;
            for (std::int64_t e = element.body; elements.next(e, element.end, entry, error); e = entry.end) {
                if (entry.end == kUnknown) break;
                if (entry.id == kTrackEntry && !trackEntry(elements, entry, tracks, error)) return false;
            }
            if (!error.empty()) return false;
            found = true;
        }
        at = element.end;
    }
    if (!error.empty()) return false;
    if (!found) {
        error = tr("no Tracks element (cut short?)");
        return false;
    }
    size.width = static_cast<std::uint32_t>(tracks.width);
    size.height = static_cast<std::uint32_t>(tracks.height);
    if (size.width == 0 || size.height == 0) {
        error = tr("no enabled video track of a size");
        return false;
    }
    return true;
}
