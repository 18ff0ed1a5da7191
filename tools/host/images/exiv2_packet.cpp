#include "exiv2_packet.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <mutex>
#include <new>

#include "xmp/exiv2_xmp_lock.h"

bool exiv2FileReading(std::string_view file, EmbedFormat format, Exiv2Reading& reading, std::string& error) {
    static const int kTypes[] = {Exiv2::ImageType::jpeg, Exiv2::ImageType::tiff, Exiv2::ImageType::png,
                                 Exiv2::ImageType::webp};
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    try {
        resetXmpNamespaces();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()),
                                               static_cast<long>(file.size()));
#pragma GCC diagnostic pop
        if (image.get() == nullptr || image->imageType() != kTypes[static_cast<int>(format)]) {
            error = "Exiv2 reads it as another format";
            return false;
        }
        image->readMetadata();
        reading = exiv2ReadingOf(image->xmpData());
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {  // Exiv2's own errors
        error = std::string("Exiv2 cannot read it (") + e.what() + ")";
    }
    return false;
}
