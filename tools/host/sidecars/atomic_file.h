// Files replaced whole or not at all, in groups (POSIX): readers see a
// file's old bytes or its new ones, never a mix, and a failed write leaves
// nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Who a file is, to notice that another program replaced or changed it
// between our read and our write.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp& other) const;
};

// The stamp of an existing file (symbolic links followed), nullopt if none.
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

// Each file is written at once to a new temporary file beside its target; a
// commit flushes them all to the disk with one syncfs per file system, and
// only then renames each over its target. One fsync per file would cost a
// disk flush apiece. Workers may stage while another thread commits.
class AtomicFileGroup {
public:
    AtomicFileGroup();
    AtomicFileGroup(const AtomicFileGroup&) = delete;
    AtomicFileGroup& operator=(const AtomicFileGroup&) = delete;
    ~AtomicFileGroup();  // removes the temporary files of a group never committed

    // Writes `bytes` to the temporary file for `target`. With `expected`,
    // `target` must still be that file at the rename, and the new file takes
    // its permission bits (and owner, where allowed); without it, `target`
    // must not exist then, and the new file gets 0666 less the umask. False
    // with a one-line reason in `error`, and nothing left behind.
    bool stage(std::size_t tag, const std::filesystem::path& target, const std::string& bytes,
               const std::optional<FileStamp>& expected, std::string& error);

    struct Outcome {
        std::size_t tag;
        std::string error;  // empty: the file is in place
    };
    // Flushes and renames everything staged so far.
    std::vector<Outcome> commit();

private:
    struct Entry;
    std::mutex mutex_;
    std::vector<Entry> staged_;
    // A folder on each file system written to, open from before the first
    // write: syncfs reports write-back errors since the descriptor opened.
    std::map<std::uint64_t, int> fileSystems_;
};
