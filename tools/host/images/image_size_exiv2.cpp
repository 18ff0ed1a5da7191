#include <exiv2/exiv2.hpp>

#include <memory>
#include <mutex>

#include "exiv2_file_io.h"
#include "exiv2_xmp_lock.h"
#include "image_size.h"

void initImageSizeReader() {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);  // our own report names unreadable files
    Exiv2::XmpParser::initialize();  // not thread-safe on first use
}

bool readImageSize(const std::filesystem::path& path, ImageSize& size, std::string& error) {
    try {
        // Reading an image's XMP may add to Exiv2's namespace registry, which
        // a sidecar being encoded on another thread walks without a lock.
        const std::shared_lock<std::shared_mutex> xmpLock(exiv2XmpLock());
        // Opening reads the header; readMetadata walks the format's
        // structure (segments, chunks, IFDs) without decoding pixels. Both
        // read through one open file and a window of it in memory.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
        auto image = Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(std::make_unique<Exiv2FileIo>(path).release()));
#pragma GCC diagnostic pop
        if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType, path.string());
        image->readMetadata();
        size.width = image->pixelWidth();
        size.height = image->pixelHeight();
        if (size.width == 0 || size.height == 0) {
            error = "no image size in its header";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}
