// Our JPEG frame-header reader against Exiv2 on the same bytes: where both
// find a size, it is the same. Where only Exiv2 does, ours has refused on
// purpose: Exiv2 searches on past a misplaced marker or a segment that
// overruns the file, and past a frame header of 0 lines to a later one.
// Exiv2 also searches past the markers it does not know to have a length
// (reserved ones, DNL, DHP, EXP, JPGn), which the standard gives one, and
// takes JPG (C8) and DAC (CC) for frame headers: files with such a marker
// are not compared.
#include <exiv2/exiv2.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "images/image_kind.h"
#include "images/jpeg_size.h"

namespace {

ImageSize exiv2Size(const std::uint8_t* data, std::size_t size) {
    ImageSize out;
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // Exiv2 0.27 hands objects over in std::auto_ptr
        auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
#pragma GCC diagnostic pop
        if (image.get() == nullptr) return out;
        image->readMetadata();
        out = {static_cast<std::uint32_t>(image->pixelWidth()), static_cast<std::uint32_t>(image->pixelHeight())};
    } catch (const std::exception&) {
    }
    return out;
}

// Whether FF is followed anywhere by a marker Exiv2 reads otherwise.
bool hasMarkerExiv2Misreads(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 1 < size; ++i) {
        const unsigned m = data[i + 1];
        if (data[i] == 0xFF && ((m >= 0x02 && m <= 0xBF) || m == 0xC8 || m == 0xCC || m == 0xDC || m == 0xDE ||
                                m == 0xDF || (m >= 0xF0 && m <= 0xFD)))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute), true);
    (void)quiet;
    if (imageKindOf(data, size) != ImageKind::Jpeg) return 0;
    Exiv2::MemIo file(data, static_cast<long>(size));
    ImageSize ours;
    std::string error;
    const bool read = readJpegSize(file, ours, error);
    if (read != error.empty()) std::abort();
    const ImageSize theirs = exiv2Size(data, size);
    if (!read || theirs.width == 0 || theirs.height == 0 || hasMarkerExiv2Misreads(data, size)) return 0;
    if (ours.width != theirs.width || ours.height != theirs.height) {
        std::fprintf(stderr, "ours %ux%u, Exiv2 %ux%u\n", ours.width, ours.height, theirs.width, theirs.height);
        std::abort();
    }
    return 0;
}
