// One lock around Exiv2's XMP namespace registry, which is one for the whole
// process: in Exiv2 0.27, XmpParser::encode walks it without a lock while
// XmpParser::decode adds each namespace it meets for the first time.
#pragma once

#include <shared_mutex>

// Held shared while an image's metadata (and so the XMP in it) is read for
// its size, and exclusively while a sidecar or an image's packet is
// decoded, edited and encoded.
inline std::shared_mutex& exiv2XmpLock() {
    static std::shared_mutex lock;
    return lock;
}
