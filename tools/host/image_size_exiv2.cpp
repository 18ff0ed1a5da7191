#include <exiv2/exiv2.hpp>

#include "image_size.h"

void initImageSizeReader() {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);  // our own report names unreadable files
    Exiv2::XmpParser::initialize();                // not thread-safe on first use
}

bool readImageSize(const std::filesystem::path& path, ImageSize& size, std::string& error) {
    try {
        // Opening reads the header; readMetadata walks the format's
        // structure (segments, chunks, IFDs) without decoding pixels.
        auto image = Exiv2::ImageFactory::open(path.string(), false);
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
