#include "file_list.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "images/image_extensions.h"

namespace fs = std::filesystem;

namespace {

struct Walk {
    bool followLinks;
    FileList& list;
    std::set<fs::path> entered;  // real folders, when links are followed
    std::vector<fs::path> links;  // to folders, walked once the real ones are
    std::vector<fs::path> found;
};

bool firstVisit(Walk& w, const fs::path& folder) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    return error || w.entered.insert(real).second;
}

// Lists one folder's entries in sorted order: its images into `found`, its
// folders not yet entered onto `pending` (so that the first pops first), and links to
// folders into `links`, which wait until the real folders are walked, so
// that an image reached both ways keeps its own folder's name.
void list(const fs::path& folder, Walk& w, std::vector<fs::path>& pending) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    if (error) {
        w.list.problems.push_back({folder, "cannot read this folder: " + error.message()});
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return b.path() < a.path(); });
    for (const fs::directory_entry& entry : entries) {
        if (entry.is_directory(error)) {
            if (!entry.is_symlink(error)) {
                if (!w.followLinks || firstVisit(w, entry.path())) pending.push_back(entry.path());
            } else if (w.followLinks) {
                w.links.push_back(entry.path());
            } else {
                ++w.list.linkedFoldersLeftOut;
            }
        } else if (entry.is_regular_file(error) && hasImageExtension(entry.path().filename())) {
            w.found.push_back(fs::path(entry.path()).make_preferred());
        }
    }
}

// A folder's whole tree, depth first; then, when links are followed, each
// linked folder not yet entered, and what it links to in turn.
void walk(const fs::path& top, Walk& w) {
    std::vector<fs::path> pending = {top};
    for (std::size_t link = 0;;) {
        while (!pending.empty()) {
            const fs::path folder = std::move(pending.back());
            pending.pop_back();
            list(folder, w, pending);
        }
        while (link < w.links.size() && !firstVisit(w, w.links[link])) ++link;
        if (link == w.links.size()) break;
        pending.push_back(w.links[link++]);
    }
    w.links.clear();
}

}  // namespace

FileList collectImageFiles(const std::vector<fs::path>& paths, bool followLinks) {
    FileList list;
    Walk w{followLinks, list, {}, {}, {}};
    for (const fs::path& path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            if (followLinks && !firstVisit(w, path)) continue;
            w.found.clear();
            walk(path, w);
            // By the whole name's characters, as a sorted listing reads.
            std::sort(w.found.begin(), w.found.end(),
                      [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
            list.files.insert(list.files.end(), w.found.begin(), w.found.end());
        } else if (fs::exists(status)) {
            list.files.push_back(path);  // named on purpose: tried whatever its name
        } else {
            list.problems.push_back({path, "no such file or folder"});
        }
    }
    return list;
}
