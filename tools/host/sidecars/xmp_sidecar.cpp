#include "sidecars/xmp_sidecar.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include "images/exiv2_xmp_lock.h"
#include "sidecars/xmp_facts.h"
#include "system/name_key.h"
#include "system/read_only_file.h"
#include "text/path_text.h"

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

// The whole file, when it is no larger than a sidecar can be.
bool readAll(const fs::path& path, std::string& bytes, std::string& error) {
    ReadOnlyFile file;
    const std::int64_t size = file.open(path) ? file.size() : -1;
    if (size > kMaxSidecarBytes) {
        error = "larger than " + std::to_string(kMaxSidecarBytes >> 20) +
                " MiB, more than any sidecar holds; left as it is";
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

// Exiv2 0.27's parser turns a hexadecimal character reference of one or
// two digits into a space ("caf&#xE9;" reads "caf "); decimal ones it reads
// right. Where a reference is no reference (a CDATA section), the read-back
// proof sees the change and the file is left alone.
std::string decimalReferences(const std::string& bytes) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = bytes.find("&#x"); at != std::string::npos; at = bytes.find("&#x", at + 1)) {
        std::size_t end = at + 3;
        unsigned value = 0;
        for (; end < bytes.size() && end < at + 6 && std::isxdigit(static_cast<unsigned char>(bytes[end])) != 0; ++end) {
            const char digit = static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[end])));
            value = value * 16 + static_cast<unsigned>(digit <= '9' ? digit - '0' : digit - 'a' + 10);
        }
        if (end == at + 3 || end > at + 5 || end >= bytes.size() || bytes[end] != ';') continue;
        out.append(bytes, from, at - from).append("&#" + std::to_string(value) + ";");
        from = end + 1;
    }
    return from == 0 ? bytes : out.append(bytes, from, std::string::npos);
}

// Only what Exiv2 takes for an XMP file is one.
bool looksLikeXmp(const std::string& bytes, std::string& error) {
    Exiv2::MemIo io(reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
    if (Exiv2::isXmpType(io, false)) return true;
    error = "not an XMP file (no XMP packet at its start); left as it is";
    return false;
}

// Only what the parser reads whole: anything else would lose data if
// written back.
bool decode(const std::string& bytes, Exiv2::XmpData& xmp, std::string& error) {
    try {
        if (Exiv2::XmpParser::decode(xmp, decimalReferences(bytes)) == 0) return keywordNamespacesIntact(error);
        if (error.empty()) error = "not valid XMP (the XMP toolkit cannot parse it); left as it is";
        return false;
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
        resetXmpNamespaces();
        Exiv2::XmpData xmp;
        fresh.edits = applyKeywords(xmp, keywords);
        if (!encode(xmp, fresh.bytes, error)) return false;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    cache.emplace(key, fresh);
    return true;
}

// "xmp:Rating" for "http://ns.adobe.com/xap/1.0/ Rating", where Exiv2 knows
// the namespace; else the URI and the name.
std::string shownProperty(const std::string& property) {
    const std::size_t space = property.find(' ');
    if (space == std::string::npos) return property;
    const std::string uri = property.substr(0, space);
    const std::string prefix = uri == "http://www.w3.org/1999/02/22-rdf-syntax-ns#" ? "rdf"
                                                                                    : Exiv2::XmpProperties::prefix(uri);
    return prefix.empty() ? property : prefix + ":" + property.substr(space + 1);
}

// The proof before a sidecar is replaced: the new packet, read by expat,
// says all the old one said outside our keywords, and read by Exiv2 holds
// the keywords we meant.
bool readsBack(const std::string& packet, const std::vector<XmpFact>& before, const Exiv2::XmpData& meant,
               std::string& error) {
    std::vector<XmpFact> after;
    if (!readXmpFacts(packet, after, error)) {
        error = "the XMP toolkit wrote what does not read back (" + error + "); left as it is";
        return false;
    }
    const std::string lost = firstDifference(before, after);
    if (!lost.empty()) {
        error = shownProperty(lost) + " would not come back as it is (the XMP toolkit cannot keep it); left as it is";
        return false;
    }
    Exiv2::XmpData back;
    if (Exiv2::XmpParser::decode(back, packet) != 0 || !(keywordState(meant) == keywordState(back))) {
        error = "the keywords would not read back as written; left as it is";
        return false;
    }
    return true;
}

SidecarResult failed(SidecarResult result, std::string error) {
    result.status = SidecarResult::Status::Failed;
    result.error = std::move(error);
    result.edits = {};
    return result;
}

}  // namespace

Rewrite rewriteSidecar(const std::string& bytes, const std::vector<Keyword>& keywords, std::string& packet,
                       KeywordEdits& edits, std::string& error) {
    if (!looksLikeXmp(bytes, error)) return Rewrite::Refused;
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    resetXmpNamespaces();
    Exiv2::XmpData xmp;
    if (!decode(bytes, xmp, error)) return Rewrite::Refused;
    try {
        edits = applyKeywords(xmp, keywords);
    } catch (const std::runtime_error& e) {  // a keyword property in a form we do not edit
        error = e.what();
        return Rewrite::Refused;
    }
    if (!edits.any()) return Rewrite::Unchanged;
    // The file's own statement of its values, read apart from Exiv2, which
    // the new packet must match outside our keywords.
    std::vector<XmpFact> before;
    if (!readXmpFacts(bytes, before, error)) {
        error = "not valid XMP (" + error + "); left as it is";
        return Rewrite::Refused;
    }
    if (!encode(xmp, packet, error) || !readsBack(packet, before, xmp, error)) return Rewrite::Refused;
    return Rewrite::Changed;
}

bool freshPacket(const std::vector<Keyword>& keywords, std::string& packet, KeywordEdits& edits, std::string& error) {
    Fresh fresh;
    if (!freshSidecar(keywords, fresh, error)) return false;
    packet = std::move(fresh.bytes);
    edits = std::move(fresh.edits);
    return true;
}

bool readKeywordState(const std::string& bytes, std::vector<KeywordState>& state, std::string& error) {
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    resetXmpNamespaces();
    Exiv2::XmpData xmp;
    if (!decode(bytes, xmp, error)) return false;
    state = keywordState(xmp);
    return true;
}

namespace {

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

std::string failureReason(const std::exception_ptr& thrown) {
    std::string reason;
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    } catch (const std::exception& e) {  // Exiv2's own errors among them
        reason = e.what();
    } catch (...) {
        reason = "an unknown error";
    }
    return reason + "; left as it is";
}

SidecarResult SidecarRun::sync(const fs::path& image, const std::vector<Keyword>& keywords, std::size_t tag) {
    try {
        return syncOrThrow(image, keywords, tag);
    } catch (...) {
        return failed({SidecarResult::Status::Failed, fs::path(image) += ".xmp", {}, {}, false},
                      failureReason(std::current_exception()));
    }
}

SidecarResult SidecarRun::syncOrThrow(const fs::path& image, const std::vector<Keyword>& keywords, std::size_t tag) {
    SidecarResult result;
    std::string error;
    result.path = image;
    result.path += ".xmp";
    fs::file_type type = fs::file_type::none;
    int there = lookFor(result.path, type, error);
    if (there == 0 && image.has_extension()) {
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
        if (type == fs::file_type::symlink) {
            // A link to another image's sidecar: replacing it would give
            // that image this one's keywords, and back again on every run.
            const fs::path owner = pairs_.ownerOf(file);
            if (!owner.empty() && !fs::equivalent(owner, image, fsError))
                return failed(result, "a link to the sidecar of " + pathText(owner) + "; left as it is");
        }
        std::string bytes;
        stamp = fileStamp(file);
        if (!stamp) return failed(result, "cannot read it");
        if (!replaceableFile(*stamp, error)) return failed(result, error);
        const fs::path other = claimed_.claim(*stamp, image);
        if (!other.empty()) return failed(result, "also the sidecar of " + pathText(other) + "; left as it is");
        if (!readAll(file, bytes, error)) return failed(result, error.empty() ? "cannot read it" : error);
        if (!keywords.empty() && bytes == fresh.bytes) {
            result.status = SidecarResult::Status::Unchanged;
            return result;
        }
        switch (rewriteSidecar(bytes, keywords, packet, result.edits, error)) {
        case Rewrite::Refused: return failed(result, error);
        case Rewrite::Unchanged: result.status = SidecarResult::Status::Unchanged; return result;
        case Rewrite::Changed: break;
        }
    }
    result.status = there == 1 ? SidecarResult::Status::Updated : SidecarResult::Status::Created;
    if (group_ != nullptr && !group_->stage(tag, file, packet, stamp, error)) return failed(result, error);
    result.staged = group_ != nullptr;
    return result;
}
