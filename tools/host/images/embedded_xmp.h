// Keywords inside the image file itself (JPEG, TIFF, PNG, WebP), where File
// Explorer, Apple Photos and the rest look: the same properties and record
// as in a sidecar, and the image replaced only once a copy is proved to
// hold every other byte of it as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "images/image_layout.h"
#include "system/atomic_file.h"
#include "system/claimed_files.h"
#include "xmp/keywords.h"
#include "xmp/packet_editor.h"

struct EmbedResult {
    enum class Status {
        None,  // no packet and nothing to add, or the file written under another name of it
        Updated,
        Unchanged,
        NotWritten,  // a format whose files are never written (raw, HEIF, AVIF, JPEG XL, ...)
        Failed,  // left as it was
    };
    Status status = Status::None;
    std::string reason;  // NotWritten and Failed: one line
    KeywordEdits edits;  // made, or on a dry run those that would be
    bool staged = false;  // Updated: in place once its group commits
};

class EmbedRun {
public:
    // The new files are staged in `group`; without one (a dry run) all is
    // worked out and proved, and nothing is written.
    explicit EmbedRun(AtomicFileGroup* group) : group_(group) {}

    // A copy of the image with its packet brought in line with `keywords`
    // (the packet edited and proved as a sidecar's is, then put in by our
    // own writer for the format) is staged only when every part of the
    // file but its packet is byte for byte the same (image data, Exif,
    // IPTC, ICC and every other segment, chunk or TIFF entry, read by
    // walkers of our own) and Exiv2 finds the new packet where readers
    // look. Nothing is thrown.
    // A video is never written.
    EmbedResult sync(const std::filesystem::path& image, bool video, const std::vector<Keyword>& keywords,
                     std::size_t tag);

private:
    EmbedResult syncOrThrow(const std::filesystem::path& image, const std::vector<Keyword>& keywords, std::size_t tag);

    AtomicFileGroup* group_;
    ClaimedFiles claimed_;
};

// The new file for the bytes of an image, laid out as `before` says, with
// its packet in line with `keywords`: Changed only once proved as
// EmbedRun::sync says, Refused with a one-line reason. Throws only
// std::bad_alloc.
Rewrite rewriteImage(EmbedFormat format, std::string_view file, const ImageLayout& before,
                     const std::vector<Keyword>& keywords, std::string& written, KeywordEdits& edits,
                     std::string& error);

// The largest image rewritten: the old and the new file are both in memory.
constexpr std::int64_t kMaxEmbedBytes = std::int64_t{512} << 20;
