// An image's XMP sidecar file: which file it is, and bringing its keywords in
// line with the image's attributes while everything else in it stays.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "system/atomic_file.h"
#include "xmp_tags.h"

struct SidecarResult {
    enum class Status { None, Created, Updated, Unchanged, Failed };
    Status status = Status::None;
    std::filesystem::path path;  // empty for None: no sidecar and nothing to add
    std::string error;  // Failed: a one-line reason; the file is as it was
    KeywordEdits edits;  // made, or on a dry run those that would be
    bool staged = false;  // Created or Updated: in place once its group commits
};

// How each image of a run may use a sidecar. Lightroom keeps one sidecar
// `<image>.xmp` for the raw file of a RAW+JPEG pair, so that form is used only
// by the one image of a run it can belong to; an image named twice has its
// sidecar handled at its first place only.
struct SidecarRole {
    bool repeat = false;
    bool lightroomForm = true;
};
std::vector<SidecarRole> sidecarRoles(const std::vector<std::filesystem::path>& images);

// The sidecar is `<image>.<ext>.xmp` when it exists, else the Lightroom form
// `<image>.xmp` when it exists and the role allows, else a new
// `<image>.<ext>.xmp`, made only when there is a keyword to put in. The new
// bytes are staged in `group` under `tag`; without a group (a dry run) the
// edits are worked out and nothing is written. Decoding and encoding hold
// exiv2XmpLock(); files are read and written outside it.
SidecarResult syncSidecar(const std::filesystem::path& image, const std::vector<Keyword>& keywords,
                          const SidecarRole& role, AtomicFileGroup* group, std::size_t tag);
