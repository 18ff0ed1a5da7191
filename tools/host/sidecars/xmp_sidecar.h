// An image's XMP sidecar file: which file it is, and bringing its keywords in
// line with the image's attributes while everything else in it stays.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "sidecars/lightroom_pairs.h"
#include "system/atomic_file.h"
#include "system/claimed_files.h"
#include "xmp/keywords.h"

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
    // keyword to put in; a video's is always `<video>.<ext>.xmp`, the name
    // digiKam writes and Immich reads first. A sidecar is edited where its keywords stand and
    // replaced only once the edit is proved (xmp/xmp_packet.h). Whatever
    // goes wrong is the result's one-line reason: nothing is thrown.
    SidecarResult sync(const std::filesystem::path& image, bool video, const std::vector<Keyword>& keywords,
                       std::size_t tag);

private:
    SidecarResult syncOrThrow(const std::filesystem::path& image, bool video, const std::vector<Keyword>& keywords,
                              std::size_t tag);
    AtomicFileGroup* group_;
    LightroomPairs pairs_;
    ClaimedFiles claimed_;
};
