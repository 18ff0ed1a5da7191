#include "file_list.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "images/image_extensions.h"
#include "text/messages.h"

namespace fs = std::filesystem;

namespace {

bool firstVisit(std::set<fs::path>& entered, const fs::path& folder) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    return error || entered.insert(real).second;
}

bool isImage(const fs::directory_entry& entry) {
    std::error_code error;
    const fs::path name = entry.path().filename();
    return entry.is_regular_file(error) && (hasImageExtension(name) || hasVideoExtension(name));
}

}  // namespace

ImageFiles::ImageFiles(const std::vector<fs::path>& paths, bool followLinks)
    : paths_(paths), followLinks_(followLinks) {
    std::set<fs::path> entered;  // real folders, when links are followed
    given_.reserve(paths_.size());
    for (const fs::path& path : paths_) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            const bool first = !followLinks_ || firstVisit(entered, path);
            given_.push_back(first ? Given::Folder : Given::Entered);
            if (first) listFolders(path, entered);
        } else if (fs::exists(status)) {
            given_.push_back(Given::File);  // named on purpose: tried whatever its name
            ++count_;
        } else {
            given_.push_back(Given::Missing);
            problems_.push_back({path, tr("no such file or folder")});
        }
    }
}

// A folder's tree, depth first in sorted order; then, when links are
// followed, each linked folder not yet entered, and what it links to in
// turn. A real folder is taken as entered when its parent is listed.
void ImageFiles::listFolders(const fs::path& top, std::set<fs::path>& entered) {
    std::vector<fs::path::string_type> pending = {top.native()};  // taken from the back
    std::vector<fs::path::string_type> links;
    for (std::size_t link = 0;;) {
        while (!pending.empty()) {
            const fs::path folder = std::move(pending.back());
            pending.pop_back();
            std::error_code error;
            std::vector<std::pair<fs::path::string_type, bool>> folders;  // and whether a link
            std::size_t images = 0;
            for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
                std::error_code ignored;
                if (it->is_directory(ignored)) {
                    folders.emplace_back(it->path().native(), it->is_symlink(ignored));
                } else if (isImage(*it)) {
                    ++images;
                }
            }
            if (error) {
                unreadable_.insert(folder.native());
                problems_.push_back({folder, tr("cannot read this folder: %s", {error.message()})});
                continue;
            }
            count_ += images;
            // Backwards, so that the first is taken first.
            std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return b < a; });
            for (auto& [path, isLink] : folders) {
                if (isLink && followLinks_) {
                    links.push_back(std::move(path));
                } else if (isLink) {
                    ++linkedFoldersLeftOut_;
                } else if (followLinks_ && !firstVisit(entered, path)) {
                    enteredBefore_.insert(std::move(path));
                } else {
                    pending.push_back(std::move(path));
                }
            }
        }
        while (link < links.size() && !firstVisit(entered, links[link])) ++link;
        if (link == links.size()) break;
        followed_.insert(links[link]);
        pending.push_back(std::move(links[link++]));
    }
}

bool ImageFiles::walked(const fs::directory_entry& entry) {
    const fs::path::string_type& name = entry.path().native();
    if (unreadable_.count(name) != 0) return false;
    std::error_code error;
    return entry.is_symlink(error) ? followed_.count(name) != 0 : enteredBefore_.count(name) == 0;
}

// Opens a folder the listing walks: its images and walked folders, sorted
// so that a folder's images come where its name and a separator sort, as
// they would among whole paths.
void ImageFiles::enter(const fs::path& folder) {
    Folder open{folder, {}, 0};
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) {
            if (walked(*it))
                open.entries.push_back({it->path().filename().native() + fs::path::preferred_separator, true});
        } else if (isImage(*it)) {
            open.entries.push_back({it->path().filename().native(), false});
        }
    }
    if (error) {
        problems_.push_back({folder, tr("cannot read this folder: %s", {error.message()})});
        return;
    }
    std::sort(open.entries.begin(), open.entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    open_.push_back(std::move(open));
}

void ImageFiles::next(std::vector<fs::path>& files, std::size_t most) {
    files.clear();
    while (files.size() < most) {
        if (open_.empty()) {
            if (nextGiven_ == paths_.size()) return;
            const fs::path& path = paths_[nextGiven_];
            const Given given = given_[nextGiven_++];
            if (given == Given::File) files.push_back(path);
            if (given == Given::Folder && unreadable_.count(path.native()) == 0) enter(path);
            continue;
        }
        Folder& folder = open_.back();
        if (folder.at == folder.entries.size()) {
            open_.pop_back();
            continue;
        }
        Entry& entry = folder.entries[folder.at++];
        if (entry.folder) {
            entry.key.pop_back();
            enter(folder.path / entry.key);  // `folder` is not used after: enter may move it
        } else {
            files.push_back((folder.path / entry.key).make_preferred());
        }
    }
}
