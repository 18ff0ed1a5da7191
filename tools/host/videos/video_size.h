// The frame size of a video file, read by bounded readers of our own for
// each container, chosen by the file's first bytes: the size as stored,
// before any rotation, as exiftool, ffprobe and MediaInfo give it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "system/read_only_file.h"

enum class VideoKind {
    None,
    IsoBmff,  // MP4, MOV, M4V, 3GP: ISO base media files and QuickTime movies
    Matroska,  // and WebM
    Avi,
    MpegTs,  // MPEG-TS, and M2TS/MTS (AVCHD) with a 4-byte timestamp before each packet
};

// The kind of the video whose first `size` bytes are `head`, or None.
// Call only for what is no image (an ftyp of HEIF's brands is an image).
VideoKind videoKindOf(const unsigned char* head, std::size_t size);

struct VideoSize {
    std::uint32_t width = 0, height = 0;
    int rotation = -1;  // degrees clockwise, as exiftool's Rotation; -1: the container has none
    std::int64_t bytesRead = 0;  // of headers, within the reader's bound
};

// False with a one-line reason in `error` for a file cut short, damaged,
// holding no video, or asking for more than the reader's bound.
bool readVideoSize(const ReadOnlyFile& file, VideoKind kind, VideoSize& size, std::string& error);
