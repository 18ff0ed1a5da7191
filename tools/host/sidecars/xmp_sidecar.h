// An image's XMP sidecar file: which file it is, and bringing its keywords in
// line with the image's attributes while everything else in it stays.
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "sidecars/claimed_files.h"
#include "sidecars/lightroom_pairs.h"
#include "sidecars/xmp_tags.h"
#include "system/atomic_file.h"

struct SidecarResult {
    enum class Status { None, Created, Updated, Unchanged, Failed };
    Status status = Status::None;
    std::filesystem::path path;  // empty for None: no sidecar and nothing to add
    std::string error;  // Failed: a one-line reason; the file is as it was
    KeywordEdits edits;  // made, or on a dry run those that would be
    bool staged = false;  // Created or Updated: in place once its group commits
};

// The images of a run whose sidecar is handled at an earlier place: an image
// named twice is one image. Only an image under two of the paths given (one
// given twice, or inside another) can be named twice, so only the names
// under such paths are kept.
class RepeatedImages {
public:
    RepeatedImages() = default;  // nothing given
    explicit RepeatedImages(const std::vector<std::filesystem::path>& given);
    // Whether `image` was named before; asked in the run's order.
    bool repeated(const std::filesystem::path& image);

private:
    using Keys = std::unordered_set<std::filesystem::path::string_type>;
    Keys overlapping_;  // of given paths, each ending in a separator
    Keys seen_;
};

// What the sidecars of one run share: the folders' Lightroom pairs, and
// which image claimed which sidecar file, so that no file is the sidecar of
// two images.
class SidecarRun {
public:
    // The new bytes are staged in `group`; without one (a dry run) the edits
    // are worked out and nothing is written.
    explicit SidecarRun(AtomicFileGroup* group) : group_(group) {}

    // The sidecar is `<image>.<ext>.xmp` when it exists, else the Lightroom
    // form `<image>.xmp` when it exists and the folder says it is this
    // image's, else a new `<image>.<ext>.xmp`, made only when there is a
    // keyword to put in. A sidecar is replaced only when the new packet reads
    // back with every value outside our keywords as it was. Decoding and
    // encoding hold exiv2XmpLock(); files are read and written outside it.
    // Whatever goes wrong is the result's one-line reason: nothing is thrown.
    SidecarResult sync(const std::filesystem::path& image, const std::vector<Keyword>& keywords, std::size_t tag);

private:
    SidecarResult syncOrThrow(const std::filesystem::path& image, const std::vector<Keyword>& keywords, std::size_t tag);
    AtomicFileGroup* group_;
    LightroomPairs pairs_;
    ClaimedFiles claimed_;
};

// The new packet for a sidecar that holds `bytes`, in `packet`, with the
// edits that make it. Refused, with a one-line reason, for a file this
// program cannot rewrite faithfully (keyword properties in a form it does
// not edit included). Throws only what Exiv2 or the memory throws
// (SidecarRun::sync catches it).
enum class Rewrite { Unchanged, Changed, Refused };
Rewrite rewriteSidecar(const std::string& bytes, const std::vector<Keyword>& keywords, std::string& packet,
                       KeywordEdits& edits, std::string& error);

// The packet for keywords where there was none, with the edits that make
// it: as a new sidecar holds it. False with a one-line reason.
bool freshPacket(const std::vector<Keyword>& keywords, std::string& packet, KeywordEdits& edits, std::string& error);

// The keyword properties and our record of them in a sidecar's bytes, as
// rewriteSidecar reads them; false with a reason where it cannot.
bool readKeywordState(const std::string& bytes, std::vector<KeywordState>& state, std::string& error);

// What an exception out of one file's work says, ending in "; left as it
// is": whatever a library or the memory throws is that file's reason,
// never the run's end.
std::string failureReason(const std::exception_ptr& thrown);

// The largest sidecar read: darktable's, with a long history, are far below.
constexpr std::int64_t kMaxSidecarBytes = 4 << 20;
