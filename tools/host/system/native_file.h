// The platform's file calls that atomic_file and scratch_file are built on,
// and nothing more: a new file of ours, its bytes, its name, and what an
// existing file is and who may write it. What may be replaced, and what a
// user is told, is atomic_file's; native_file_{posix,win32} hold the calls.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "system/file_stamp.h"

// What replacing an existing file depends on.
struct FileFacts {
    FileStamp stamp;
    // Marked read-only for everyone: no write bit at all (POSIX), the
    // read-only attribute (Windows).
    bool markedReadOnly = false;
    // Whether this user may write it: faccessat with AT_EACCESS (root may),
    // on Windows AccessCheck against its DACL.
    bool userMayWrite = false;
};

enum class Look { Found, Missing, Failed };

// `path`, links followed. Failed with a one-line reason in `error`.
Look lookAt(const std::filesystem::path& path, FileFacts& facts, std::string& error);

// Whether a new file took an old one's owner and permissions.
enum class Ownership {
    Kept,
    OtherOwner,  // the old file's owner could not be given (only root or an administrator may)
    OtherGroup,  // POSIX: nor its group (one this user is not in)
    Failed,  // with the reason in `error`
};

// A new file of ours, named by freshTempName in a given folder, made
// exclusively (never a file that exists, nor through a planted link), and
// removed with its owner unless it was put in place.
class NativeTempFile {
public:
    enum class Use {
        // Beside its target, to take its place: without a name where the
        // platform allows (O_TMPFILE), on Windows hidden and marked for
        // deletion until its rename, so that a killed run leaves nothing.
        Replacement,
        // A plain named file other code opens by its path; closed once
        // written.
        Scratch,
    };

    NativeTempFile();
    NativeTempFile(NativeTempFile&&) noexcept;
    NativeTempFile& operator=(NativeTempFile&&) noexcept;
    NativeTempFile(const NativeTempFile&) = delete;
    NativeTempFile& operator=(const NativeTempFile&) = delete;
    ~NativeTempFile();

    // `ownerOnly`: readable by its owner alone until its permissions are set
    // (POSIX 0600; else 0666 less the umask). Every call below returns false
    // with "what failed: why" in `error`.
    bool create(const std::filesystem::path& folder, Use use, bool ownerOnly, std::string& error);
    bool write(const std::string& bytes, std::string& error);
    // No byte more: Windows flushes a Replacement to the disk here (it has
    // no syncfs for a user's program); a Scratch is closed.
    bool finish(std::string& error);

    // Its name, empty while it has none.
    const std::filesystem::path& path() const;
    // Which file system holds it (POSIX st_dev), for FlushBatch.
    std::uint64_t fileSystem() const;

    // `old`'s owner, group and permission bits (Windows: owner, DACL and
    // attributes) given to this file.
    Ownership takeAccessOf(const std::filesystem::path& old, std::string& error);
    // A name beside it for a file that has none yet, so that replace() is a
    // single rename.
    bool name(std::string& error);
    // At `target`, never replacing what is there (then `taken`).
    bool placeNew(const std::filesystem::path& target, bool& taken, std::string& error);
    // Renamed over `target`.
    bool replace(const std::filesystem::path& target, std::string& error);

private:
    struct State;  // the platform's
    std::unique_ptr<State> state_;
};

// Staged files brought to the disk before any is renamed: on Linux one
// syncfs per file system (through a folder opened before the first write,
// so that it reports every write-back error since), which costs far less
// than an fsync per file; on Windows nothing more (finish() flushed each).
class FlushBatch {
public:
    FlushBatch();
    FlushBatch(const FlushBatch&) = delete;
    FlushBatch& operator=(const FlushBatch&) = delete;
    ~FlushBatch();

    // Before `file`'s first byte is written; `folder` holds it. From any thread.
    bool track(const NativeTempFile& file, const std::filesystem::path& folder, std::string& error);
    // For each file, why it could not be brought to the disk, or an empty text.
    std::vector<std::string> flush(const std::vector<const NativeTempFile*>& files);

private:
    struct State;
    std::mutex mutex_;
    std::unique_ptr<State> state_;
};
