#include "exiv2_size.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

#include "text/messages.h"
#include "xmp/exiv2_xmp_lock.h"

namespace {

// CR3 keeps its Exif in boxes that Exiv2 reads as IFD0 (CMT1) and the Exif
// directory (CMT2): PixelXDimension where the camera wrote it, else IFD0's
// own size. A side of 0 (or less) is one the camera left unset, not a size.
bool cr3Size(const Exiv2::ExifData& exif, ImageSize& size) {
    for (const auto& [x, y] : {std::make_pair("Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"),
                               std::make_pair("Exif.Image.ImageWidth", "Exif.Image.ImageLength")}) {
        const auto width = exif.findKey(Exiv2::ExifKey(x)), height = exif.findKey(Exiv2::ExifKey(y));
        if (width == exif.end() || height == exif.end() || width->count() == 0 || height->count() == 0) continue;
        const long w = width->toLong(), h = height->toLong();
        if (w <= 0 || h <= 0) continue;
        size.width = static_cast<std::uint32_t>(w);
        size.height = static_cast<std::uint32_t>(h);
        return true;
    }
    return false;
}

}  // namespace

void initExiv2Reading() {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);  // our own report names unreadable files
    Exiv2::XmpParser::initialize();  // not thread-safe on first use
    Exiv2::enableBMFF(true);  // CR3; HEIF and AVIF go to our own reader instead
}

bool readExiv2Size(std::unique_ptr<Exiv2FileIo> file, ImageKind kind, ImageSize& size, std::string& error) {
    const std::string path = file->path();
    try {
        // Reading an image's XMP may add to Exiv2's namespace registry, which
        // a sidecar being encoded on another thread walks without a lock.
        const std::shared_lock<std::shared_mutex> xmpLock(exiv2XmpLock());
        // Opening reads the header; readMetadata walks the format's
        // structure (segments, chunks, IFDs) without decoding pixels. Both
        // read through one open file and a window of it in memory.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
        auto image = Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(file.release()));
#pragma GCC diagnostic pop
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType, path);
        image->readMetadata();
        if (kind != ImageKind::Cr3 || !cr3Size(image->exifData(), size)) {
            size.width = image->pixelWidth();
            size.height = image->pixelHeight();
        }
        if (size.width == 0 || size.height == 0) {
            error = tr("no image size in its header");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        // Exiv2 starts some messages with the path, which our report names already.
        error = e.what();
        if (error.compare(0, path.size() + 2, path + ": ") == 0) error.erase(0, path.size() + 2);
        return false;
    }
}
