#include "image_extensions.h"

#include <algorithm>
#include <iterator>
#include <string>

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
// CR2, RAF and ORF, RW2 and RWL by their own readers, CR3 by its BMFF reader.
const char* const kRawExtensions[] = {"dng", "cr2", "cr3", "nef", "nrw", "arw", "sr2", "srf", "orf",
                                      "rw2", "rwl", "pef", "raf", "srw", "3fr", "erf", "mef", "mos"};

// The classic formats, and what phones and editors save today.
const char* const kImageExtensions[] = {"jpg",  "jpeg", "jpe",  "png",  "gif", "bmp",  "dib", "tif",
                                        "tiff", "webp", "heic", "heif", "hif", "avif", "jxl", "cr3"};

// What phones, cameras and editors save videos as: MP4, QuickTime, 3GP,
// Matroska and WebM, AVI, and transport streams (AVCHD's .MTS among them).
const char* const kVideoExtensions[] = {"mp4",  "m4v", "mov", "qt",   "3gp", "3g2", "mkv",
                                        "webm", "avi", "mts", "m2ts", "m2t", "ts"};

}  // namespace

bool hasVideoExtension(const fs::path& name) {
    return hasExtensionIn(name, std::begin(kVideoExtensions), std::end(kVideoExtensions));
}

bool hasRawExtension(const fs::path& name) {
    return hasExtensionIn(name, std::begin(kRawExtensions), std::end(kRawExtensions));
}

bool hasImageExtension(const fs::path& name) {
    return hasExtensionIn(name, std::begin(kImageExtensions), std::end(kImageExtensions)) || hasRawExtension(name);
}
