#include "file_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool hasExtensionIn(const fs::path& name, const char* const* begin, const char* const* end) {
    // Compared in the path's own characters (UTF-16 on Windows): the
    // extensions are ASCII, and a name need not convert to anything else.
    const fs::path::string_type ext = name.extension().native();
    return std::any_of(begin, end, [&](const char* known) {
        const std::size_t n = std::char_traits<char>::length(known);
        if (ext.size() != n + 1) return false;
        for (std::size_t i = 0; i < n; ++i) {
            const auto c = ext[i + 1];
            const auto lower = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
            if (lower != static_cast<unsigned char>(known[i])) return false;
        }
        return true;
    });
}

// Camera raw files that Exiv2 0.27 gives the full image's size for: the
// TIFF-based ones by their full-size directory (not a preview kept first),
// CR2, RAF and ORF, RW2 and RWL by their own readers. CR3 is left out: Exiv2
// reads it only with its BMFF support switched on.
const char* const kRawExtensions[] = {"dng", "cr2", "nef", "nrw", "arw", "sr2", "srf", "orf", "rw2",
                                      "rwl", "pef", "raf", "srw", "3fr", "erf", "mef", "mos"};

}  // namespace

bool hasRawExtension(const fs::path& name) {
    return hasExtensionIn(name, std::begin(kRawExtensions), std::end(kRawExtensions));
}

bool hasImageExtension(const fs::path& name) {
    static const char* const kExtensions[] = {"jpg", "jpeg", "jpe", "png", "gif", "bmp", "dib", "tif", "tiff", "webp"};
    if (hasExtensionIn(name, std::begin(kExtensions), std::end(kExtensions))) return true;
#if defined(_WIN32)
    return false;  // WIC reads raw files only where a codec for them is installed
#else
    return hasRawExtension(name);
#endif
}

std::string nonFileKind(const fs::path& path) {
    std::error_code error;
    switch (fs::status(path, error).type()) {
    case fs::file_type::regular: return std::string();
    case fs::file_type::directory: return "a folder";
    case fs::file_type::fifo: return "a named pipe";
    case fs::file_type::socket: return "a socket";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    case fs::file_type::not_found: return "nothing";
    default: return "not a regular file";
    }
}

FileList collectImageFiles(const std::vector<fs::path>& paths) {
    FileList list;
    for (const fs::path& path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            std::vector<fs::path> found;
            const auto options = fs::directory_options::skip_permission_denied;
            for (fs::recursive_directory_iterator it(path, options, error), end; !error && it != end;
                 it.increment(error)) {
                if (it->is_regular_file(error) && hasImageExtension(it->path().filename())) {
                    found.push_back(fs::path(it->path()).make_preferred());
                }
            }
            // By the whole name's characters, as a sorted listing reads.
            std::sort(found.begin(), found.end(),
                      [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
            list.files.insert(list.files.end(), found.begin(), found.end());
        } else if (fs::exists(status)) {
            list.files.push_back(path);  // named on purpose: tried whatever its name
        } else {
            list.missing.push_back(path);
        }
    }
    return list;
}
