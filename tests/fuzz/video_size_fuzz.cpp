// Our video readers against libavformat on the same bytes, read as the
// same container (libavformat is the oracle here only, never the
// product's): where both read a size and libavformat reads one video
// stream (in damaged files it takes bytes past a container's end, or a
// resynced stream's, for more of them), the sizes agree; and ours never
// reads more of the file than its bound. A
// transport stream whose packets fall out of step is not compared:
// libavformat resyncs, and a damaged first picture sends it on to the
// parameter set of a later one.
extern "C" {
#include <libavformat/avformat.h>
}

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "system/read_only_file.h"
#include "videos/video_size.h"

namespace {

struct Memory {
    const std::uint8_t* data;
    std::size_t size, at;
};

int readPacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* m = static_cast<Memory*>(opaque);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), m->size - m->at);
    if (n == 0) return AVERROR_EOF;
    std::copy(m->data + m->at, m->data + m->at + n, buffer);
    m->at += n;
    return static_cast<int>(n);
}

std::int64_t seekTo(void* opaque, std::int64_t offset, int whence) {
    auto* m = static_cast<Memory*>(opaque);
    if (whence == AVSEEK_SIZE) return static_cast<std::int64_t>(m->size);
    const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(m->at)
                              : whence == SEEK_END ? static_cast<std::int64_t>(m->size)
                                                   : 0;
    if (base + offset < 0 || base + offset > static_cast<std::int64_t>(m->size)) return -1;
    m->at = static_cast<std::size_t>(base + offset);
    return base + offset;
}

// Whether libavformat's one video stream has that size; -1 where it reads
// none, more than one, or one without a size.
int theirs(const std::uint8_t* data, std::size_t size, VideoKind kind, std::uint32_t width, std::uint32_t height) {
    // The container ours takes the file for: libavformat's own guess may be
    // another (a raw MPEG-4 stream).
    static const char* const kDemuxers[] = {"", "mov", "matroska", "avi", "mpegts"};
    const bool transport = kind == VideoKind::MpegTs;
    Memory memory{data, size, 0};
    auto* buffer = static_cast<unsigned char*>(av_malloc(4096));
    AVIOContext* io = avio_alloc_context(buffer, 4096, 0, &memory, readPacket, nullptr, seekTo);
    AVFormatContext* format = avformat_alloc_context();
    format->pb = io;
    int found = -1;
    if (avformat_open_input(&format, nullptr, av_find_input_format(kDemuxers[static_cast<int>(kind)]), nullptr) == 0) {
        // A transport stream's sizes come from its parameter sets.
        if (transport) {
            format->probesize = 1 << 20;
            avformat_find_stream_info(format, nullptr);
        }
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVStream* s = format->streams[i];
            if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (s->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
                continue;
            // A stream whose size it did not find (its parameter set cut
            // short of the frames it decodes): it cannot tell.
            if (s->codecpar->width <= 0 || s->codecpar->height <= 0) {
                found = -2;
                break;
            }
            if (found >= 0) {
                found = -2;
                break;
            }
            found = static_cast<std::uint32_t>(s->codecpar->width) == width &&
                            static_cast<std::uint32_t>(s->codecpar->height) == height
                        ? 1
                        : 0;
        }
        avformat_close_input(&format);
    } else {
        avformat_free_context(format);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return found < 0 ? -1 : found;
}

bool inStep(const std::uint8_t* data, std::size_t size) {
    const std::size_t skip = data[0] == 0x47 ? 0 : 4;
    for (std::size_t at = skip; at + 188 <= size; at += 188 + skip) {
        if (data[at] != 0x47) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    // The oracle trusts sizes in a file as far as memory goes; ours never
    // allocates by them. A block past this fails inside libavformat.
    av_max_alloc(64 << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const VideoKind kind = videoKindOf(data, size);
    if (kind == VideoKind::None) return 0;
    // Our readers read a file, as the host does.
    static const std::string path = "/dev/shm/video_size_fuzz." + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    ReadOnlyFile input;
    if (!input.open(path)) std::abort();
    VideoSize ours;
    std::string error;
    const bool read = readVideoSize(input, kind, ours, error);
    if (read == !error.empty()) std::abort();
    if (ours.bytesRead > (kind == VideoKind::MpegTs ? 8 << 20 : 4 << 20)) {
        std::fprintf(stderr, "read %lld bytes\n", static_cast<long long>(ours.bytesRead));
        std::abort();
    }
    if (read && (kind != VideoKind::MpegTs || inStep(data, size)) &&
        theirs(data, size, kind, ours.width, ours.height) == 0) {
        std::fprintf(stderr, "ours %ux%u, not libavformat's\n", ours.width, ours.height);
        std::abort();
    }
    return 0;
}
