#include "videos/video_size.h"

#include <cstring>

#include "text/messages.h"
#include "videos/video_readers.h"

namespace {

// What a reader may read of a file's headers: a movie's moov of hours of
// frames is stepped over box by box, so this bounds damage, not real files.
constexpr std::int64_t kMaxHeaderBytes = 4 << 20;
// An MPEG transport stream holds its size only in the video's sequence
// parameter set, which follows the first tables within a few packets.
constexpr std::int64_t kMaxStreamPrefix = 8 << 20;

bool isTransportStream(const unsigned char* head, std::size_t size, std::size_t first, std::size_t packet) {
    int found = 0;
    for (std::size_t at = first; at < size && found < 3; at += packet, ++found) {
        if (head[at] != 0x47) return false;
    }
    return found == 3;
}

}  // namespace

VideoKind videoKindOf(const unsigned char* head, std::size_t size) {
    if (size >= 8) {
        // An ftyp of a video's brands, or a QuickTime movie of old that
        // starts with another of its top-level boxes.
        static const char* const kStarts[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"};
        for (const char* type : kStarts) {
            if (std::memcmp(head + 4, type, 4) == 0) return VideoKind::IsoBmff;
        }
    }
    if (size >= 4 && head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3)
        return VideoKind::Matroska;
    if (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0) return VideoKind::Avi;
    if (isTransportStream(head, size, 0, 188) || isTransportStream(head, size, 4, 192)) return VideoKind::MpegTs;
    return VideoKind::None;
}

bool readVideoSize(const ReadOnlyFile& file, VideoKind kind, VideoSize& size, std::string& error) {
    const std::int64_t length = file.size();
    if (length < 0) {
        error = file.lastError();
        return false;
    }
    BoundedReader in(file, length, kind == VideoKind::MpegTs ? kMaxStreamPrefix : kMaxHeaderBytes);
    size = VideoSize();
    bool read = false;
    switch (kind) {
    case VideoKind::IsoBmff: read = readIsoBmffSize(in, size, error); break;
    case VideoKind::Matroska: read = readMatroskaSize(in, size, error); break;
    case VideoKind::Avi: read = readAviSize(in, size, error); break;
    case VideoKind::MpegTs: read = readMpegTsSize(in, size, error); break;
    case VideoKind::None: error = tr("not a video"); break;
    }
    size.bytesRead = in.bytesRead();
    if (read && (size.width == 0 || size.height == 0)) {
        error = tr("a video track of no size");
        read = false;
    }
    return read;
}
