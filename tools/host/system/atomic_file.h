// Files replaced whole or not at all, in groups: readers see a file's old
// bytes or its new ones, never a mix, and a failed or killed write leaves
// nothing behind that a later run does not remove.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "system/file_stamp.h"
#include "system/temp_files.h"

class FlushBatch;

// False, with the reason, for a file that no replacement may take the place
// of, whatever happens meanwhile: one with other hard links, which would
// keep the old bytes. Callers ask it before they work on a new file's
// bytes; AtomicFileGroup asks it again of the file it renames over.
bool replaceableFile(const FileStamp& stamp, std::string& error);

// Each file is written at once to a new temporary file of ours beside its
// target (native_file.h). A commit brings them all to the disk (one syncfs
// per file system on Linux; Windows flushes each as it is staged), and only
// then renames each over its target. Workers may stage while another thread
// commits. A run's first file in a folder first removes the temporary files
// there that a run of ours which surely ended left.
//
// A file is replaced only if it is still the one read (its stamp), not
// marked read-only, writable by this user, of one name (no other hard
// link), and its owner, group and
// permissions (on Windows owner, DACL and attributes) can be kept: checked
// when it is staged and again right before its rename.
class AtomicFileGroup {
public:
    AtomicFileGroup();
    AtomicFileGroup(const AtomicFileGroup&) = delete;
    AtomicFileGroup& operator=(const AtomicFileGroup&) = delete;
    ~AtomicFileGroup();  // removes the temporary files of a group never committed

    // Writes `bytes` to the temporary file for `target`. With `expected`,
    // `target` must be that file and stay it until the rename; without it,
    // `target` must not exist then, and the new file gets 0666 less the
    // umask (Windows: the folder's inherited security). False with a
    // one-line reason in `error`, and nothing left behind.
    bool stage(std::size_t tag, const std::filesystem::path& target, const std::string& bytes,
               const std::optional<FileStamp>& expected, std::string& error);

    struct Outcome {
        std::size_t tag;
        std::string error;  // empty: the file is in place
    };
    // Flushes and renames everything staged so far.
    std::vector<Outcome> commit();

private:
    struct Entry;  // a staged file
    std::mutex mutex_;
    std::vector<Entry> staged_;
    std::unique_ptr<FlushBatch> flush_;
    TempFileSweep sweep_;
};
