// The image files named by the command line, handed out a few at a time:
// files as given, folders searched recursively for image file names, each
// given folder's images in the sorted order of their whole paths.
#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

// Memory follows the largest folder, not the run's files: the folders are
// listed first (their images only counted) to learn what goes wrong and
// which of them are walked; then each is read again when its turn comes.
// Only links followed keep a record of every folder, to enter each once.
//
// Symbolic links to folders inside a walk are followed only with
// `followLinks`, as ripgrep and fd do; then each real folder is entered
// once, the first time the sorted walk meets it, links after every real
// folder of the same given folder, so a link loop ends and an image reached
// by two names keeps its own folder's.
class ImageFiles {
public:
    struct Problem {
        std::filesystem::path path;
        std::string reason;  // "no such file or folder", "cannot read this folder: …"
    };

    // `paths` must outlive the listing.
    ImageFiles(const std::vector<std::filesystem::path>& paths, bool followLinks);

    // Named on the error stream; the run goes on without them. A folder that
    // could be read at the start and no longer can is added when met.
    const std::vector<Problem>& problems() const { return problems_; }
    std::size_t linkedFoldersLeftOut() const { return linkedFoldersLeftOut_; }  // not followed
    std::size_t count() const { return count_; }  // as the first listing found them

    // The next files in order, at most `most` (none at the end), in `files`.
    void next(std::vector<std::filesystem::path>& files, std::size_t most);

private:
    using Names = std::unordered_set<std::filesystem::path::string_type>;
    enum class Given { Missing, File, Folder, Entered };  // Entered: under another name before
    struct Entry {
        std::filesystem::path::string_type key;  // the name, a folder's with a separator after it
        bool folder;
    };
    struct Folder {
        std::filesystem::path path;
        std::vector<Entry> entries;  // sorted by key
        std::size_t at = 0;
    };

    void listFolders(const std::filesystem::path& top, std::set<std::filesystem::path>& entered);
    bool walked(const std::filesystem::directory_entry& entry);
    void enter(const std::filesystem::path& folder);

    const std::vector<std::filesystem::path>& paths_;
    std::vector<Given> given_;
    bool followLinks_;
    // What the listing decided, by the name the walk meets a folder by.
    Names unreadable_;  // named as problems already
    Names enteredBefore_;  // real folders reached before through a link
    Names followed_;  // links to folders that are walked
    std::vector<Problem> problems_;
    std::size_t linkedFoldersLeftOut_ = 0;
    std::size_t count_ = 0;

    std::size_t nextGiven_ = 0;
    std::vector<Folder> open_;  // the folder being read and those holding it
};
