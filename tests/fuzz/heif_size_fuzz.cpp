// Our HEIF/AVIF size reader against libheif on the same bytes. Where libheif
// finds the primary image's ispe, ours gives the same size, or refuses on
// purpose (HeifRefusal::Inconsistent or Limit), never for damage alone.
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "images/heif_size.h"
#include "images/image_kind.h"

namespace {

// The primary image's stored size as libheif reads it; 0 × 0 when it reads none.
ImageSize libheifSize(const std::uint8_t* data, std::size_t size) {
    ImageSize out;
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok)
        return out;
    heif_image_handle* raw = nullptr;
    const bool found = heif_context_get_primary_image_handle(context.get(), &raw).code == heif_error_Ok;
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> primary(raw,
                                                                                           heif_image_handle_release);
    if (!found) return out;
    const int width = heif_image_handle_get_ispe_width(primary.get());
    const int height = heif_image_handle_get_ispe_height(primary.get());
    if (width > 0 && height > 0) out = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Only what the host hands this reader: files told to be HEIF or AVIF.
    if (imageKindOf(data, size) != ImageKind::Heif) return 0;
    Exiv2::MemIo file(data, static_cast<long>(size));
    ImageSize ours;
    std::string error;
    HeifRefusal refusal = HeifRefusal::None;
    const bool read = readHeifSize(file, ours, error, &refusal);
    if (read != error.empty()) std::abort();
    const ImageSize theirs = libheifSize(data, size);
    if (theirs.width == 0) return 0;  // libheif reads no size: ours may or may not
    if (read && (ours.width != theirs.width || ours.height != theirs.height)) {
        std::fprintf(stderr, "ours %ux%u, libheif %ux%u\n", ours.width, ours.height, theirs.width, theirs.height);
        std::abort();
    }
    if (!read && refusal == HeifRefusal::Damaged) {
        std::fprintf(stderr, "ours refused (%s), libheif %ux%u\n", error.c_str(), theirs.width, theirs.height);
        std::abort();
    }
    return 0;
}
