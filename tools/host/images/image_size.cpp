#include "image_size.h"

#include <limits>
#include <memory>

#include "exiv2_file_io.h"
#include "exiv2_size.h"
#include "heif_size.h"
#include "image_kind.h"
#include "jpeg_size.h"
#include "jxl_size.h"
#include "text/messages.h"
#include "videos/video_size.h"

void initImageSizeReader() { initExiv2Reading(); }

bool readImageSize(const std::filesystem::path& path, ImageSize& size, std::string& error) {
    // One open for every reader: the kind is told from the first bytes of
    // the same window the reader then starts from.
    auto file = std::make_unique<Exiv2FileIo>(path);
    if (file->open() != 0) {
        error = file->openError();
        return false;
    }
    unsigned char head[512];  // three packets of a transport stream
    const long n = file->read(head, sizeof head);
    const ImageKind kind = imageKindOf(head, static_cast<std::size_t>(n > 0 ? n : 0));
    const VideoKind video = kind == ImageKind::Other ? videoKindOf(head, static_cast<std::size_t>(n > 0 ? n : 0))
                                                     : VideoKind::None;
    if (video != VideoKind::None) {
        VideoSize frame;
        if (!readVideoSize(file->file(), video, frame, error)) return false;
        size = {frame.width, frame.height, true, frame.rotation};
        return true;
    }
    // Exiv2 0.27 keeps offsets in a long, 32 bits on Windows.
    if (file->size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) {
        error = tr("a file of 2 GB or more, beyond what Exiv2 addresses on this platform");
        return false;
    }
    file->seek(0, Exiv2::BasicIo::beg);
    try {
        switch (kind) {
        case ImageKind::Heif: return readHeifSize(*file, size, error);
        case ImageKind::Jxl: return readJxlSize(*file, size, error);
        case ImageKind::Jpeg: return readJpegSize(*file, size, error);
        case ImageKind::Cr3:
        case ImageKind::Other: break;
        }
    } catch (const std::exception& e) {  // std::bad_alloc from inside a library
        error = e.what();
        return false;
    }
    return readExiv2Size(std::move(file), kind, size, error);
}
