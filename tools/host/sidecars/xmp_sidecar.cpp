#include "sidecars/xmp_sidecar.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

#include "system/name_key.h"
#include "system/read_only_file.h"
#include "text/failure_reason.h"
#include "text/messages.h"
#include "text/path_text.h"
#include "xmp/xmp_packet.h"

namespace fs = std::filesystem;

namespace {

// 1: there (its kind in `type`, a link not followed), 0: not there, -1:
// cannot tell (reason in `error`).
int lookFor(const fs::path& path, fs::file_type& type, std::string& error) {
    std::error_code code;
    type = fs::symlink_status(path, code).type();
    if (type == fs::file_type::not_found) return 0;
    if (!code) return 1;
    error = tr("cannot look for it: %s", {code.message()});
    return -1;
}

// The whole file, when it is no larger than a sidecar can be.
bool readAll(const fs::path& path, std::string& bytes, std::string& error) {
    ReadOnlyFile file;
    const std::int64_t size = file.open(path) ? file.size() : -1;
    if (size > kMaxPacketBytes) {
        error = tr("larger than %s MiB, more than any sidecar holds; left as it is",
                   {std::to_string(kMaxPacketBytes >> 20)});
        return false;
    }
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

SidecarResult failed(SidecarResult result, std::string error) {
    result.status = SidecarResult::Status::Failed;
    result.error = std::move(error);
    result.edits = {};
    return result;
}

fs::path::string_type absoluteKey(const fs::path& path) {
    std::error_code ignored;  // a path that will not resolve is refused later anyway
    return nameKey(fs::absolute(path, ignored).lexically_normal());
}

// A key ending in a separator begins another exactly when its path holds
// the other's.
fs::path::string_type withSeparator(fs::path::string_type key) {
    if (key.empty() || key.back() != fs::path::preferred_separator) key += fs::path::preferred_separator;
    return key;
}

bool startsWith(const fs::path::string_type& text, const fs::path::string_type& start) {
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

RepeatedImages::RepeatedImages(const std::vector<fs::path>& given) {
    std::vector<fs::path::string_type> keys;
    keys.reserve(given.size());
    for (const fs::path& path : given) keys.push_back(withSeparator(absoluteKey(path)));
    // Sorted, the keys a key begins follow it: a stack holds those that
    // begin the one at hand.
    std::sort(keys.begin(), keys.end());
    std::vector<bool> overlaps(keys.size());
    std::vector<std::size_t> holding;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        while (!holding.empty() && !startsWith(keys[i], keys[holding.back()])) holding.pop_back();
        if (!holding.empty()) overlaps[i] = true;
        for (std::size_t h : holding) overlaps[h] = true;
        holding.push_back(i);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (overlaps[i]) overlapping_.insert(std::move(keys[i]));
    }
}

bool RepeatedImages::repeated(const fs::path& image) {
    if (overlapping_.empty()) return false;
    fs::path::string_type key = absoluteKey(image);
    const fs::path::string_type within = withSeparator(key);
    for (std::size_t at = within.find(fs::path::preferred_separator); at != fs::path::string_type::npos;
         at = within.find(fs::path::preferred_separator, at + 1)) {
        if (overlapping_.count(within.substr(0, at + 1)) != 0) return !seen_.insert(std::move(key)).second;
    }
    return false;
}

SidecarResult SidecarRun::sync(const fs::path& image, bool video, const std::vector<Keyword>& keywords,
                               std::size_t tag) {
    try {
        return syncOrThrow(image, video, keywords, tag);
    } catch (...) {
        return failed({SidecarResult::Status::Failed, fs::path(image) += ".xmp", {}, {}, false},
                      failureReason(std::current_exception()));
    }
}

SidecarResult SidecarRun::syncOrThrow(const fs::path& image, bool video, const std::vector<Keyword>& keywords,
                                      std::size_t tag) {
    SidecarResult result;
    std::string error;
    result.path = image;
    result.path += ".xmp";
    fs::file_type type = fs::file_type::none;
    int there = lookFor(result.path, type, error);
    if (there == 0 && image.has_extension() && !video) {
        // Only where Lightroom's form is there is the folder asked whose it is.
        const fs::path lightroom = fs::path(image).replace_extension(".xmp");
        there = lookFor(lightroom, type, error);
        if (there == 1) {
            const fs::path owner = pairs_.owner(image.parent_path(), fs::path(image.filename()).replace_extension());
            if (!owner.empty() && nameKey(owner.filename()) == nameKey(image.filename())) {
                result.path = lightroom;
            } else {
                there = 0;
            }
        }
    }
    if (there < 0) return failed(result, error);
    if (there == 0 && keywords.empty()) return SidecarResult{};
    EditedPacket fresh;
    if (!keywords.empty() && !freshPacket(keywords, false, fresh, error)) return failed(result, error);

    fs::path file = result.path;  // a link's target is the file to replace, not the link
    std::optional<FileStamp> stamp;
    std::string packet;
    if (there == 0) {
        packet = fresh.bytes;
        result.edits = fresh.plan.edits;
    } else {
        std::error_code fsError;
        if (type == fs::file_type::symlink) file = fs::canonical(file, fsError);
        if (fsError) return failed(result, tr("a symbolic link to nothing; left as it is"));
        if (!fs::is_regular_file(file, fsError)) return failed(result, tr("not a regular file; left as it is"));
        if (type == fs::file_type::symlink) {
            // A link to another image's sidecar: replacing it would give
            // that image this one's keywords, and back again on every run.
            const fs::path owner = pairs_.ownerOf(file);
            if (!owner.empty() && !fs::equivalent(owner, image, fsError))
                return failed(result, tr("a link to the sidecar of %s; left as it is", {pathText(owner)}));
        }
        std::string bytes;
        stamp = fileStamp(file);
        if (!stamp) return failed(result, tr("cannot read it"));
        if (!replaceableFile(*stamp, error)) return failed(result, error);
        const fs::path other = claimed_.claim(*stamp, image);
        if (!other.empty()) return failed(result, tr("also the sidecar of %s; left as it is", {pathText(other)}));
        if (!readAll(file, bytes, error)) return failed(result, error.empty() ? tr("cannot read it") : error);
        if (!keywords.empty() && bytes == fresh.bytes) {
            result.status = SidecarResult::Status::Unchanged;
            return result;
        }
        EditedPacket edited;
        switch (rewritePacket(bytes, keywords, edited, error)) {
        case Rewrite::Refused: return failed(result, error);
        case Rewrite::Unchanged: result.status = SidecarResult::Status::Unchanged; return result;
        case Rewrite::Changed: break;
        }
        packet = std::move(edited.bytes);
        result.edits = std::move(edited.plan.edits);
    }
    result.status = there == 1 ? SidecarResult::Status::Updated : SidecarResult::Status::Created;
    if (group_ != nullptr && !group_->stage(tag, file, packet, stamp, error)) return failed(result, error);
    result.staged = group_ != nullptr;
    return result;
}
