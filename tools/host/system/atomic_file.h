// Files replaced whole or not at all, in groups: readers see a file's old
// bytes or its new ones, never a mix, and a failed or killed write leaves
// nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "system/temp_files.h"

// Who a file is, to notice that another program replaced or changed it
// between our read and our write: device and inode (on Windows the volume
// serial number and the file index), size and last write time (in the
// platform's unit: nanoseconds, on Windows 100 ns).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size && modified == other.modified;
    }
};

// The stamp of an existing file (symbolic links followed), nullopt if none.
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

// Each file is written at once to a new temporary file beside its target,
// without a name where the platform allows (O_TMPFILE; on Windows a file
// marked for deletion until its rename), so that a killed run leaves nothing.
// A commit flushes them all to the disk with one syncfs per file system, and
// only then renames each over its target: one fsync per file would cost a
// disk flush apiece (Windows has no syncfs for a user's program: each file
// is flushed as it is staged, on its worker). Workers may stage while
// another thread commits. A run's first file in a folder first removes the
// temporary files there that a killed run left.
class AtomicFileGroup {
public:
    AtomicFileGroup();
    AtomicFileGroup(const AtomicFileGroup&) = delete;
    AtomicFileGroup& operator=(const AtomicFileGroup&) = delete;
    ~AtomicFileGroup();  // removes the temporary files of a group never committed

    // Writes `bytes` to the temporary file for `target`. With `expected`,
    // `target` must still be that file at the rename, and the new file takes
    // its permission bits (and owner, where allowed; on Windows its
    // attributes and DACL); without it, `target` must not exist then, and
    // the new file gets 0666 less the umask. False with a one-line reason in
    // `error`, and nothing left behind.
    bool stage(std::size_t tag, const std::filesystem::path& target, const std::string& bytes,
               const std::optional<FileStamp>& expected, std::string& error);

    struct Outcome {
        std::size_t tag;
        std::string error;  // empty: the file is in place
    };
    // Flushes and renames everything staged so far.
    std::vector<Outcome> commit();

private:
    struct Entry;  // a staged file, in the platform's terms
    struct Platform;  // what the platform keeps for the whole group
    std::mutex mutex_;
    std::vector<Entry> staged_;
    std::unique_ptr<Platform> platform_;
    TempFileSweep sweep_;
};
