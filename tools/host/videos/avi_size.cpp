// AVI: the hdrl list at the start, the first video stream's strf
// (BITMAPINFOHEADER) for its size, else the main header's avih.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "text/messages.h"
#include "videos/video_readers.h"

namespace {

constexpr int kMaxChunks = 10000;

struct Chunk {
    char id[5] = {};
    std::int64_t body = 0, end = 0;
};

bool nextChunk(BoundedReader& in, std::int64_t at, std::int64_t limit, Chunk& chunk, int& budget, std::string& error) {
    error.clear();
    if (at + 8 > limit) return false;
    unsigned char header[8];
    if (--budget < 0 || !in.read(at, header, 8)) {
        error = budget < 0 ? tr("more chunks than any AVI header holds") : in.error();
        return false;
    }
    const std::uint64_t size = littleEndian(header + 4, 4);
    if (size > static_cast<std::uint64_t>(limit - at - 8)) {
        error = tr("a chunk at byte %s runs past what holds it", {std::to_string(at)});
        return false;
    }
    std::memcpy(chunk.id, header, 4);
    chunk.body = at + 8;
    chunk.end = chunk.body + static_cast<std::int64_t>(size);
    return true;
}

bool is(const Chunk& chunk, const char* id) { return std::memcmp(chunk.id, id, 4) == 0; }

}  // namespace

bool readAviSize(BoundedReader& in, VideoSize& size, std::string& error) {
    int budget = kMaxChunks;
    unsigned char bytes[40];
    Chunk chunk, inner;
    if (!in.read(0, bytes, 12)) {
        error = in.error();
        return false;
    }
    // A file cut short still holds its header at the start.
    const std::int64_t end = std::min<std::int64_t>(in.size(),
                                                    8 + static_cast<std::int64_t>(littleEndian(bytes + 4, 4)));
    std::uint32_t mainWidth = 0, mainHeight = 0;
    for (std::int64_t at = 12; nextChunk(in, at, end, chunk, budget, error); at = chunk.end + (chunk.end & 1)) {
        if (!is(chunk, "LIST") || !in.read(chunk.body, bytes, 4) || std::memcmp(bytes, "hdrl", 4) != 0) continue;
        bool video = false;
        for (std::int64_t h = chunk.body + 4; nextChunk(in, h, chunk.end, inner, budget, error);
             h = inner.end + (inner.end & 1)) {
            if (is(inner, "avih") && inner.end - inner.body >= 40 && in.read(inner.body, bytes, 40)) {
                mainWidth = static_cast<std::uint32_t>(littleEndian(bytes + 32, 4));
                mainHeight = static_cast<std::uint32_t>(littleEndian(bytes + 36, 4));
                continue;
            }
            if (!is(inner, "LIST")) continue;
            // A stream: strh says its type, strf a video's bitmap header.
            Chunk stream;
            for (std::int64_t s = inner.body + 4; nextChunk(in, s, inner.end, stream, budget, error);
                 s = stream.end + (stream.end & 1)) {
                if (is(stream, "strh") && stream.end - stream.body >= 4 && in.read(stream.body, bytes, 4)) {
                    video = std::memcmp(bytes, "vids", 4) == 0;
                } else if (is(stream, "strf") && video && stream.end - stream.body >= 12 &&
                           in.read(stream.body, bytes, 12)) {
                    // A negative height is a picture stored top-down.
                    size.width = static_cast<std::uint32_t>(littleEndian(bytes + 4, 4));
                    size.height = static_cast<std::uint32_t>(
                        std::llabs(static_cast<std::int32_t>(littleEndian(bytes + 8, 4))));
                    return true;
                }
            }
            if (!error.empty()) return false;
        }
        if (!error.empty()) return false;
        break;  // the first hdrl is the header
    }
    if (!error.empty()) return false;
    size.width = mainWidth;
    size.height = mainHeight;
    if (size.width == 0 || size.height == 0) {
        error = tr("no video stream of a size in its header");
        return false;
    }
    return true;
}
