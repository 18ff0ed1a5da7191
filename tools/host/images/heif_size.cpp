#include "heif_size.h"

#include <exiv2/basicio.hpp>
#include <libheif/heif.h>

#include <cstdint>
#include <memory>

namespace {

// libheif reads through these, so that the file is opened once, by its
// full name, and read through the same window as every other format.
struct Source {
    Exiv2::BasicIo& file;
    std::int64_t size;
};

Source& source(void* userdata) { return *static_cast<Source*>(userdata); }

int64_t position(void* userdata) { return source(userdata).file.tell(); }

int readBytes(void* data, size_t size, void* userdata) {
    // libheif asks wait_for_file_size first, so `size` is within the file.
    const auto n = static_cast<long>(size);
    return source(userdata).file.read(static_cast<Exiv2::byte*>(data), n) == n ? 0 : 1;
}

int seekTo(int64_t position, void* userdata) {
    return source(userdata).file.seek(static_cast<long>(position), Exiv2::BasicIo::beg) == 0 ? 0 : 1;
}

heif_reader_grow_status waitForSize(int64_t target, void* userdata) {
    return target <= source(userdata).size ? heif_reader_grow_status_size_reached
                                           : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader kReader = {1, position, readBytes, seekTo, waitForSize};

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
};

}  // namespace

bool readHeifSize(Exiv2::BasicIo& file, ImageSize& size, std::string& error) {
    Source src{file, static_cast<std::int64_t>(file.size())};
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context) {
        error = "out of memory";
        return false;
    }
    heif_error result = heif_context_read_from_reader(context.get(), &kReader, &src, nullptr);
    heif_image_handle* raw = nullptr;
    if (result.code == heif_error_Ok) result = heif_context_get_primary_image_handle(context.get(), &raw);
    const std::unique_ptr<const heif_image_handle, HandleRelease> primary(raw);
    if (result.code != heif_error_Ok) {
        error = result.message != nullptr ? result.message : "not a HEIF file libheif can read";
        return false;
    }
    const int width = heif_image_handle_get_ispe_width(primary.get());
    const int height = heif_image_handle_get_ispe_height(primary.get());
    if (width <= 0 || height <= 0) {
        error = "no image size (ispe) for its primary image";
        return false;
    }
    size.width = static_cast<std::uint32_t>(width);
    size.height = static_cast<std::uint32_t>(height);
    return true;
}
