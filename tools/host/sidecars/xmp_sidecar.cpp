#include "xmp_sidecar.h"

#include <exiv2/exiv2.hpp>

#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "images/exiv2_xmp_lock.h"
#include "images/image_extensions.h"
#include "system/read_only_file.h"

namespace fs = std::filesystem;

namespace {

// 1: there (its kind in `type`, a link not followed), 0: not there, -1:
// cannot tell (reason in `error`).
int lookFor(const fs::path& path, fs::file_type& type, std::string& error) {
    std::error_code code;
    type = fs::symlink_status(path, code).type();
    if (type == fs::file_type::not_found) return 0;
    if (!code) return 1;
    error = "cannot look for it: " + code.message();
    return -1;
}

bool readAll(const fs::path& path, std::string& bytes, std::string& error) {
    ReadOnlyFile file;
    const std::int64_t size = file.open(path) ? file.size() : -1;
    if (size >= 0) {
        bytes.resize(static_cast<std::size_t>(size));
        const long n = size > 0 ? file.readAt(0, &bytes[0], bytes.size()) : 0;
        if (n >= 0) {
            bytes.resize(static_cast<std::size_t>(n));
            return true;
        }
    }
    error = file.lastError();
    return false;
}

// Only what Exiv2 takes for an XMP file, and only what its parser reads
// whole: anything else would lose data if written back.
bool decode(const std::string& bytes, Exiv2::XmpData& xmp, std::string& error) {
    Exiv2::MemIo io(reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
    if (!Exiv2::isXmpType(io, false)) {
        error = "not an XMP file (no XMP packet at its start); left as it is";
        return false;
    }
    try {
        if (Exiv2::XmpParser::decode(xmp, bytes) == 0) return true;
        error = "not valid XMP (the XMP toolkit cannot parse it); left as it is";
    } catch (const std::exception& e) {
        error = std::string("not valid XMP (") + e.what() + "); left as it is";
    }
    return false;
}

// Laid out as Exiv2's own sidecar writer lays it out (digiKam's sidecars
// look the same): the packet without padding inside its wrapper.
bool encode(const Exiv2::XmpData& xmp, std::string& file, std::string& error) {
    std::string packet;
    try {
        if (Exiv2::XmpParser::encode(packet, xmp,
                                     Exiv2::XmpParser::omitPacketWrapper | Exiv2::XmpParser::useCompactFormat) == 0 &&
            !packet.empty()) {
            file = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n" + packet +
                   "<?xpacket end=\"w\"?>";
            return true;
        }
        error = "the XMP toolkit cannot write it; left as it is";
    } catch (const std::exception& e) {
        error = std::string("cannot be written as XMP (") + e.what() + "); left as it is";
    }
    return false;
}

struct Fresh {
    std::string bytes;
    KeywordEdits edits;
};

// What a new sidecar holds for a set of keywords. Few sets recur over a
// whole library: each is encoded once, and a sidecar that is still exactly
// so is known to be up to date without parsing it.
bool freshSidecar(const std::vector<Keyword>& keywords, Fresh& fresh, std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, Fresh> cache;
    std::string key;
    for (const Keyword& keyword : keywords) key += keyword.name + '\0' + keyword.category + '\0';
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto it = cache.find(key);
        if (it != cache.end()) {
            fresh = it->second;
            return true;
        }
    }
    {
        const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
        Exiv2::XmpData xmp;
        fresh.edits = applyKeywords(xmp, keywords);
        if (!encode(xmp, fresh.bytes, error)) return false;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    cache.emplace(key, fresh);
    return true;
}

SidecarResult failed(SidecarResult result, std::string error) {
    result.status = SidecarResult::Status::Failed;
    result.error = std::move(error);
    result.edits = {};
    return result;
}

}  // namespace

std::vector<SidecarRole> sidecarRoles(const std::vector<fs::path>& images) {
    struct Group {
        std::size_t members = 0;
        std::size_t raws = 0;
    };
    std::vector<SidecarRole> roles(images.size());
    std::vector<fs::path> normal(images.size());
    std::unordered_map<fs::path::string_type, bool> seen;
    std::unordered_map<fs::path::string_type, Group> groups;  // by path without extension
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::error_code ignored;  // a path that will not resolve is refused later anyway
        normal[i] = fs::absolute(images[i], ignored).lexically_normal();
        roles[i].repeat = !seen.emplace(normal[i].native(), true).second;
        if (roles[i].repeat) continue;
        Group& group = groups[fs::path(normal[i]).replace_extension().native()];
        ++group.members;
        if (hasRawExtension(normal[i])) ++group.raws;
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        const Group& group = groups[fs::path(normal[i]).replace_extension().native()];
        roles[i].lightroomForm = group.members == 1 || (group.raws == 1 && hasRawExtension(normal[i]));
    }
    return roles;
}

SidecarResult syncSidecar(const fs::path& image, const std::vector<Keyword>& keywords, const SidecarRole& role,
                          AtomicFileGroup* group, std::size_t tag) {
    SidecarResult result;
    std::string error;
    result.path = image;
    result.path += ".xmp";
    fs::file_type type = fs::file_type::none;
    int there = lookFor(result.path, type, error);
    if (there == 0 && role.lightroomForm && image.has_extension()) {
        const fs::path lightroom = fs::path(image).replace_extension(".xmp");
        there = lookFor(lightroom, type, error);
        if (there == 1) result.path = lightroom;
    }
    if (there < 0) return failed(result, error);
    if (there == 0 && keywords.empty()) return SidecarResult{};
    Fresh fresh;
    if (!keywords.empty() && !freshSidecar(keywords, fresh, error)) return failed(result, error);

    fs::path file = result.path;  // a link's target is the file to replace, not the link
    std::optional<FileStamp> stamp;
    std::string packet;
    if (there == 0) {
        packet = fresh.bytes;
        result.edits = fresh.edits;
    } else {
        std::error_code fsError;
        if (type == fs::file_type::symlink) file = fs::canonical(file, fsError);
        if (fsError) return failed(result, "a symbolic link to nothing; left as it is");
        if (!fs::is_regular_file(file, fsError)) return failed(result, "not a regular file; left as it is");
        std::string bytes;
        stamp = fileStamp(file);
        if (!stamp || !readAll(file, bytes, error)) return failed(result, error.empty() ? "cannot read it" : error);
        if (!keywords.empty() && bytes == fresh.bytes) {
            result.status = SidecarResult::Status::Unchanged;
            return result;
        }
        const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
        Exiv2::XmpData xmp;
        if (!decode(bytes, xmp, error)) return failed(result, error);
        try {
            result.edits = applyKeywords(xmp, keywords);
        } catch (const std::exception& e) {
            return failed(result, e.what());
        }
        if (!result.edits.any()) {
            result.status = SidecarResult::Status::Unchanged;
            return result;
        }
        if (!encode(xmp, packet, error)) return failed(result, error);
    }
    result.status = there == 1 ? SidecarResult::Status::Updated : SidecarResult::Status::Created;
    if (group != nullptr && !group->stage(tag, file, packet, stamp, error)) return failed(result, error);
    result.staged = group != nullptr;
    return result;
}
