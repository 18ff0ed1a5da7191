#include "images/embedded_xmp.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

#include "images/embedded_packet.h"
#include "images/exiv2_packet.h"
#include "images/image_extensions.h"
#include "images/image_kind.h"
#include "system/read_only_file.h"
#include "text/failure_reason.h"
#include "text/messages.h"
#include "text/path_text.h"
#include "xmp/xmp_packet.h"

namespace fs = std::filesystem;

namespace {

const char* const kRaw = N_("a camera raw file, never written; --xmp writes its keywords to a sidecar");

EmbedResult outcome(EmbedResult::Status status, std::string reason = std::string()) {
    EmbedResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

// The file's first bytes, or all of it; false with the reason.
bool readFile(const ReadOnlyFile& file, std::int64_t size, std::string& bytes, std::string& error) {
    bytes.resize(static_cast<std::size_t>(size));
    for (std::size_t done = 0; done < bytes.size();) {
        const long n = file.readAt(static_cast<std::int64_t>(done), &bytes[done], bytes.size() - done);
        if (n < 0) {
            error = file.lastError();
            return false;
        }
        if (n == 0) {
            bytes.resize(done);  // shorter than it was a moment ago: the stamp check says so later
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Why a file that is none of the four formats is not written.
std::string notWritten(const std::string& head) {
    const ImageKind kind = imageKindOf(reinterpret_cast<const unsigned char*>(head.data()), head.size());
    if (kind == ImageKind::Cr3) return tr(kRaw);
    if (kind == ImageKind::Heif || kind == ImageKind::Jxl)
        return tr("keywords are not written inside %s files (Exiv2 cannot write them); --xmp writes them to a sidecar",
                  {imageKindName(kind)});
    return tr("keywords are written only inside JPEG, TIFF, PNG and WebP files; --xmp writes them to a sidecar");
}

// Whether the new packet took the old one's place, every other byte of the
// file as it was.
bool inPlace(std::string_view file, const ImageLayout& before, std::string_view written, const ImageLayout& after) {
    if (before.packets.empty() || written.size() != file.size()) return false;
    const auto at = static_cast<std::size_t>(before.packets.front().data() - file.data());
    const std::size_t end = at + before.packets.front().size();
    return after.packets.front().data() == written.data() + at && after.packets.front().size() == end - at &&
           file.substr(0, at) == written.substr(0, at) && file.substr(end) == written.substr(end);
}

// Whether Exiv2 finds `placed` in `written`. Where Exiv2 cannot read the
// old file either (an ICC profile it finds invalid), its reading proves
// nothing.
bool exiv2Finds(EmbedFormat format, std::string_view file, std::string_view written, const std::string& placed,
                std::string& error) {
    std::string found, ignored;
    bool unreadable = false, oldUnreadable = false;
    if (!exiv2FilePacket(written, format, found, unreadable, error))
        return unreadable && !exiv2FilePacket(file, format, ignored, oldUnreadable, ignored) && oldUnreadable;
    if (found == std::string_view(placed).substr(std::min(placed.find('<'), placed.size()))) return true;
    error = tr("Exiv2 would not find the new packet where it looks");
    return false;
}

}  // namespace

Rewrite rewriteImage(EmbedFormat format, std::string_view file, const ImageLayout& before,
                     const std::vector<Keyword>& keywords, std::string& written, KeywordEdits& edits,
                     std::string& error) {
    if (before.packets.size() > 1) {
        error = tr("holds %s XMP packets, and readers differ on which counts; left as it is",
                   {std::to_string(before.packets.size())});
        return Rewrite::Refused;
    }
    if (before.packets.empty() && keywords.empty()) return Rewrite::Unchanged;
    EditedPacket packet;
    if (before.packets.empty()) {
        // Padded where the next update can then fit in place.
        if (!freshPacket(keywords, format == EmbedFormat::Jpeg || format == EmbedFormat::Tiff, packet, error))
            return Rewrite::Refused;
    } else {
        const Rewrite rewrite = rewritePacket(before.packets.front(), keywords, packet, error);
        if (rewrite == Rewrite::Refused) error = tr("its XMP packet: %s", {error});
        if (rewrite != Rewrite::Changed) return rewrite;
    }

    // The proof: every part but the packet as it was, the packet where
    // readers look, and Exiv2 finding it there.
    std::string placed;
    if (!withPacket(format, file, before, packet.bytes, written, placed, error)) {
        error = leftAsItIs(error);
        return Rewrite::Refused;
    }
    ImageLayout after;
    if (!readLayout(format, written, after, error)) {
        error = tr("the new file would not read back (%s); left as it is", {error});
        return Rewrite::Refused;
    }
    const std::string changed = firstChangedPart(before.parts, after.parts);
    if (!changed.empty()) {
        error = tr("%s would not stay as it is; left as it is", {changed});
        return Rewrite::Refused;
    }
    if (after.packets.size() != 1 || after.packets.front() != placed) {
        error = tr("the new file would not hold its packet where readers look; left as it is");
        return Rewrite::Refused;
    }
    // Readers find a packet that took the old one's place, every other byte
    // as it was, where they found the old one; one put elsewhere Exiv2 must
    // find where our walker does.
    if (!inPlace(file, before, written, after) && !exiv2Finds(format, file, written, placed, error)) {
        error = leftAsItIs(error);
        return Rewrite::Refused;
    }
    edits = std::move(packet.plan.edits);
    return Rewrite::Changed;
}

EmbedResult EmbedRun::sync(const fs::path& image, bool video, const std::vector<Keyword>& keywords, std::size_t tag) {
    if (video)
        return outcome(EmbedResult::Status::NotWritten, tr("a video, never written; --xmp writes its keywords to %s",
                                                           {pathText(fs::path(image.filename()) += ".xmp")}));
    try {
        return syncOrThrow(image, keywords, tag);
    } catch (...) {
        return outcome(EmbedResult::Status::Failed, failureReason(std::current_exception()));
    }
}

EmbedResult EmbedRun::syncOrThrow(const fs::path& image, const std::vector<Keyword>& keywords, std::size_t tag) {
    using Status = EmbedResult::Status;
    if (hasRawExtension(image)) return outcome(Status::NotWritten, tr(kRaw));
    std::error_code fsError;
    // A link's target is the file to replace, not the link.
    const fs::path file = fs::is_symlink(image, fsError) ? fs::canonical(image, fsError) : image;
    if (fsError) return outcome(Status::Failed, tr("cannot find the file it names: %s", {fsError.message()}));
    ReadOnlyFile reader;
    const std::optional<FileStamp> stamp = fileStamp(file);
    if (!stamp) return outcome(Status::Failed, tr("no longer there, or cannot be looked at"));
    const std::int64_t size = reader.open(file) ? reader.size() : -1;
    if (size < 0) return outcome(Status::Failed, tr("cannot read it: %s", {reader.lastError()}));
    std::string bytes, error;
    if (!readFile(reader, std::min<std::int64_t>(size, 64), bytes, error))
        return outcome(Status::Failed, tr("cannot read it: %s", {error}));
    EmbedFormat format{};
    if (!embedFormatOf(bytes, format)) return outcome(Status::NotWritten, notWritten(bytes));
    if (size > kMaxEmbedBytes)
        return outcome(Status::Failed, tr("larger than %s MiB, more than this program rewrites; left as it is",
                                          {std::to_string(kMaxEmbedBytes >> 20)}));
    if (!replaceableFile(*stamp, error)) return outcome(Status::Failed, error);
    if (!claimed_.claim(*stamp, image).empty()) return outcome(Status::None);
    if (!readFile(reader, size, bytes, error)) return outcome(Status::Failed, tr("cannot read it: %s", {error}));

    ImageLayout before;
    if (!readLayout(format, bytes, before, error)) return outcome(Status::Failed, leftAsItIs(error));
    if (before.cameraRaw) return outcome(Status::NotWritten, tr(kRaw));
    EmbedResult result;
    std::string written;
    switch (rewriteImage(format, bytes, before, keywords, written, result.edits, error)) {
    case Rewrite::Refused: return outcome(Status::Failed, error);
    case Rewrite::Unchanged: return outcome(before.packets.empty() ? Status::None : Status::Unchanged);
    case Rewrite::Changed: break;
    }
    result.status = Status::Updated;
    if (group_ != nullptr && !group_->stage(tag, file, written, stamp, error)) return outcome(Status::Failed, error);
    result.staged = group_ != nullptr;
    return result;
}
