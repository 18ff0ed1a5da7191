// Which image of a folder owns Lightroom's sidecar `<base>.xmp`: told from
// what the folder holds, never from which files a run names, so that every
// run gives the same answer.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>

class LightroomPairs {
public:
    // The image that `<base>.xmp` in `folder` belongs to: the folder's one
    // raw file of that base name (RAW+JPEG: the raw's, as Lightroom keeps
    // it), else its one image of that base name; empty when there are
    // several candidates or none. Videos are no candidates: a phone's Live
    // Photo pairs IMG_1.HEIC with IMG_1.MOV, and IMG_1.xmp is the HEIC's.
    std::filesystem::path owner(const std::filesystem::path& folder, const std::filesystem::path& base);

    // The image whose sidecar `file` is by its name: `<image>.xmp` beside an
    // existing image or video, else the Lightroom owner of `<base>.xmp`; empty if none.
    std::filesystem::path ownerOf(const std::filesystem::path& file);

private:
    struct Candidates {
        int images = 0;
        int raws = 0;
        std::filesystem::path image;  // the last of each kind met
        std::filesystem::path raw;
    };
    using Folder = std::map<std::filesystem::path::string_type, Candidates>;  // by nameKey of the base name
    const Folder& folder(const std::filesystem::path& path);

    std::mutex mutex_;
    std::map<std::filesystem::path, Folder> folders_;
};
