#include "exiv2_packet.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <mutex>
#include <new>

#include "text/messages.h"
#include "xmp/exiv2_xmp.h"
#include "xmp/exiv2_xmp_lock.h"

bool exiv2FilePacket(std::string_view file, EmbedFormat format, std::string& packet, bool& unreadable,
                     std::string& error) {
    static const int kTypes[] = {Exiv2::ImageType::jpeg, Exiv2::ImageType::tiff, Exiv2::ImageType::png,
                                 Exiv2::ImageType::webp};
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    unreadable = false;
    try {
        resetXmpNamespaces();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()),
                                               static_cast<long>(file.size()));
#pragma GCC diagnostic pop
        if (image.get() == nullptr || image->imageType() != kTypes[static_cast<int>(format)]) {
            error = tr("Exiv2 reads it as another format");
            return false;
        }
        image->readMetadata();
        if (format == EmbedFormat::Tiff) {  // Exiv2 keeps a TIFF's packet as an Exif value
            const auto it = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
            packet.clear();
            if (it != image->exifData().end()) {
                Exiv2::DataBuf bytes(it->size());
                it->copy(bytes.pData_, Exiv2::invalidByteOrder);
                packet.assign(reinterpret_cast<const char*>(bytes.pData_), static_cast<std::size_t>(bytes.size_));
            }
        } else {
            packet = static_cast<const Exiv2::Image&>(*image).xmpPacket();  // as read, not encoded anew
        }
        packet.erase(0, packet.find('<') == std::string::npos ? packet.size() : packet.find('<'));
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {  // Exiv2's own errors
        error = tr("Exiv2 cannot read it (%s)", {e.what()});
        unreadable = true;
    }
    return false;
}
