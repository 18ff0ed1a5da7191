// MP4, MOV, M4V and 3GP: the top-level boxes stepped over by their headers
// to moov (behind a multi-gigabyte mdat or before fragments that need no
// reading), and in moov each track's hdlr, tkhd and first visual sample
// entry of stsd; the sample tables are stepped over, never read.
#include <cmath>
#include <cstring>
#include <vector>

#include "text/messages.h"
#include "videos/video_readers.h"

namespace {

// More boxes than any movie steps over: each costs a read.
constexpr int kMaxBoxes = 100000;

struct Box {
    char type[5] = {};
    std::int64_t body = 0, end = 0;  // its payload [body, end)
};

bool is(const Box& box, const char* type) { return std::memcmp(box.type, type, 4) == 0; }

// A box type for messages: its four letters, or their bytes in hex.
std::string typeName(const unsigned char* type) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        if (type[i] < 0x20 || type[i] > 0x7E) {
            static const char kHex[] = "0123456789ABCDEF";
            name = "0x";
            for (int j = 0; j < 4; ++j) (name += kHex[type[j] >> 4]) += kHex[type[j] & 0xF];
            return name;
        }
        name += static_cast<char>(type[i]);
    }
    return name;
}

class Boxes {
public:
    Boxes(BoundedReader& in, int& budget) : in_(in), budget_(budget) {}

    // The box at `at` within [at, limit); false with the reason, or with
    // an empty reason where [at, limit) holds no more boxes.
    bool next(std::int64_t at, std::int64_t limit, Box& box, std::string& error) {
        error.clear();
        if (at >= limit) return false;
        if (--budget_ < 0) {
            error = tr("more than %s boxes before its frame size", {std::to_string(kMaxBoxes)});
            return false;
        }
        unsigned char header[16];
        if (limit - at < 8 || !in_.read(at, header, 8)) {
            error = limit - at < 8 ? tr("a box cut short at byte %s", {std::to_string(at)}) : in_.error();
            return false;
        }
        std::uint64_t size = bigEndian(header, 4);
        std::int64_t headerSize = 8;
        if (size == 1) {
            if (limit - at < 16 || !in_.read(at + 8, header + 8, 8)) {
                error = tr("a box cut short at byte %s", {std::to_string(at)});
                return false;
            }
            size = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            size = static_cast<std::uint64_t>(limit - at);  // to the end of its parent
        }
        if (size < static_cast<std::uint64_t>(headerSize) || size > static_cast<std::uint64_t>(limit - at)) {
            error = limit == in_.size() ? tr("its %1$s box at byte %2$s runs past the end of the file",
                                             {typeName(header + 4), std::to_string(at)})
                                        : tr("its %1$s box at byte %2$s runs past the box that holds it",
                                             {typeName(header + 4), std::to_string(at)});
            return false;
        }
        std::memcpy(box.type, header + 4, 4);
        box.body = at + headerSize;
        box.end = at + static_cast<std::int64_t>(size);
        return true;
    }

private:
    BoundedReader& in_;
    int& budget_;
};

struct Track {
    char handler[5] = {};
    bool enabled = false, thumbnail = false;
    std::uint32_t width = 0, height = 0;
    int rotation = 0;
};

// Degrees clockwise, as exiftool reads a track's matrix: the angle of its
// first row, to the nearest quarter turn.
int rotationOf(const unsigned char* matrix) {
    const auto a = static_cast<std::int32_t>(bigEndian(matrix, 4));
    const auto b = static_cast<std::int32_t>(bigEndian(matrix + 4, 4));
    if (a == 0 && b == 0) return 0;
    const double degrees = std::atan2(static_cast<double>(b), static_cast<double>(a)) * 180.0 / 3.14159265358979323846;
    return (static_cast<int>(std::lround(degrees / 90.0)) * 90 + 360) % 360;
}

class Movie {
public:
    Movie(BoundedReader& in, int& budget) : in_(in), boxes_(in, budget) {}

    bool moov(const Box& moov, std::vector<Track>& tracks, std::string& error) {
        Box box;
        for (std::int64_t at = moov.body; boxes_.next(at, moov.end, box, error); at = box.end) {
            if (!is(box, "trak")) continue;
            Track track;
            if (!trak(box, track, error)) return false;
            tracks.push_back(track);
        }
        return error.empty();
    }

private:
    // A track's boxes on the way to hdlr, tkhd and stsd, each container
    // entered only where it belongs (a box nested in itself is not).
    bool trak(const Box& trak, Track& track, std::string& error) {
        static const char* const kPath[][2] = {{"trak", "mdia"}, {"mdia", "minf"}, {"minf", "stbl"}, {"trak", "tref"}};
        std::vector<Box> open{trak};
        std::vector<std::int64_t> next{trak.body};
        while (!open.empty()) {
            Box box;
            if (!boxes_.next(next.back(), open.back().end, box, error)) {
                if (!error.empty()) return false;
                open.pop_back();
                next.pop_back();
                continue;
            }
            next.back() = box.end;
            const Box& parent = open.back();
            bool container = false;
            for (const auto& step : kPath) container = container || (is(parent, step[0]) && is(box, step[1]));
            if (container) {
                open.push_back(box);
                next.push_back(box.body);
            } else if (is(box, "thmb") && is(parent, "tref")) {
                track.thumbnail = true;  // a thumbnail of another track
            } else if ((is(box, "tkhd") && is(parent, "trak") && !tkhd(box, track, error)) ||
                       (is(box, "hdlr") && is(parent, "mdia") && !fields(box, 8, 4, track.handler, error)) ||
                       (is(box, "stsd") && is(parent, "stbl") && !stsd(box, track, error))) {
                return false;
            }
        }
        return true;
    }

    // `count` bytes at `offset` into a box's payload, which must hold them.
    bool fields(const Box& box, std::int64_t offset, std::size_t count, void* out, std::string& error) {
        if (box.end - box.body < offset + static_cast<std::int64_t>(count)) {
            error = tr("its %s box is cut short", {typeName(reinterpret_cast<const unsigned char*>(box.type))});
            return false;
        }
        if (in_.read(box.body + offset, out, count)) return true;
        error = in_.error();
        return false;
    }

    bool tkhd(const Box& box, Track& track, std::string& error) {
        unsigned char head[4], matrix[8];
        if (!fields(box, 0, 4, head, error)) return false;
        track.enabled = (head[3] & 1) != 0;
        return fields(box, head[0] == 1 ? 52 : 40, 8, matrix, error) && (track.rotation = rotationOf(matrix), true);
    }

    // The first sample entry: a visual one holds the stored width and
    // height 24 bytes into its fields.
    bool stsd(const Box& box, Track& track, std::string& error) {
        unsigned char entry[36];
        if (!fields(box, 8, 8, entry, error)) return false;
        if (bigEndian(entry, 4) < 36 || std::memcmp(entry + 4, "tmcd", 4) == 0) return true;
        if (!fields(box, 8, 36, entry, error)) return false;
        track.width = static_cast<std::uint32_t>(bigEndian(entry + 32, 2));
        track.height = static_cast<std::uint32_t>(bigEndian(entry + 34, 2));
        return true;
    }

    BoundedReader& in_;
    Boxes boxes_;
};

}  // namespace

bool readIsoBmffSize(BoundedReader& in, VideoSize& size, std::string& error) {
    int budget = kMaxBoxes;
    Boxes top(in, budget);
    Box box;
    std::vector<Track> tracks;
    bool found = false;
    for (std::int64_t at = 0; !found && top.next(at, in.size(), box, error); at = box.end) {
        if (!is(box, "moov")) continue;
        Movie movie(in, budget);
        if (!movie.moov(box, tracks, error)) return false;
        found = true;
    }
    if (!found) {
        if (error.empty()) error = tr("no moov box (cut short before its movie header?)");
        return false;
    }
    // The stored size of the largest enabled video track: cover art,
    // thumbnails, timecode and metadata tracks do not count.
    for (const Track& track : tracks) {
        if (std::memcmp(track.handler, "vide", 4) != 0 || !track.enabled || track.thumbnail) continue;
        if (std::uint64_t{track.width} * track.height > std::uint64_t{size.width} * size.height) {
            size.width = track.width;
            size.height = track.height;
            size.rotation = track.rotation;
        }
    }
    if (size.width == 0 || size.height == 0) {
        error = tr("no enabled video track of a size");
        return false;
    }
    return true;
}
