#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

struct AtomicFileGroup::Entry {
    std::size_t tag;
    fs::path target;
    std::optional<FileStamp> expected;
    fs::path temp;
    std::uint64_t device;
};

namespace {

const char* const kChanged = "changed by another program while being updated; left as it is";

std::string reason(const std::string& what, int code) { return what + ": " + std::generic_category().message(code); }

FileStamp stampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool stillIs(const fs::path& path, const FileStamp& expected, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0 && stampOf(st) == expected;
}

// A new file of a unique hidden name beside `target` (O_EXCL: never one
// that exists), so that a photo manager looking for *.xmp never takes it.
int createTemp(const fs::path& target, mode_t mode, fs::path& temp, std::string& error) {
    static std::atomic<unsigned> counter{0};
    static const std::string pid = std::to_string(::getpid());
    const std::string name = target.filename().string().substr(0, 100);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tempName = ".";
        tempName.append(name).append(".").append(pid).append("-").append(std::to_string(counter++)).append(".tmp");
        temp = target.parent_path() / tempName;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0) error = reason("cannot create a file in its folder", errno);
            return fd;
        }
    }
    error = "cannot create a file in its folder: every temporary name is taken";
    return -1;
}

bool writeAll(int fd, const std::string& bytes, std::string& error) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = reason("cannot write", errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// rename() that does not replace a file made meanwhile.
int renameNew(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
    // A file system without the flag: look, then rename (a short window).
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

AtomicFileGroup::AtomicFileGroup() = default;

AtomicFileGroup::~AtomicFileGroup() {
    for (const Entry& entry : staged_) ::unlink(entry.temp.c_str());
    for (const auto& fileSystem : fileSystems_) ::close(fileSystem.second);
}

bool AtomicFileGroup::stage(std::size_t tag, const fs::path& target, const std::string& bytes,
                            const std::optional<FileStamp>& expected, std::string& error) {
    struct stat st;
    if (expected && !stillIs(target, *expected, st)) {
        error = kChanged;
        return false;
    }
    const mode_t mode = expected ? st.st_mode & 07777 : 0666;
    fs::path temp;
    int fd = createTemp(target, expected ? 0600 : 0666, temp, error);
    if (fd < 0) return false;
    const auto discard = [&](const std::string& why) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        error = why;
        return false;
    };
    struct stat created;
    if (::fstat(fd, &created) != 0) return discard(reason("cannot write", errno));
    const auto device = static_cast<std::uint64_t>(created.st_dev);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (fileSystems_.count(device) == 0) {
            const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
            const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folderFd < 0) return discard(reason("cannot open its folder", errno));
            fileSystems_[device] = folderFd;
        }
    }
    if (expected) {
        if (::fchmod(fd, mode) != 0) return discard(reason("cannot set the permissions", errno));
        // Only root may give a file to another owner; the permission bits
        // are what matter to everyone else, so a refusal is no error.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) errno = 0;
    }
    if (!writeAll(fd, bytes, error)) return discard(error);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return discard(reason("cannot write", errno));
    const std::lock_guard<std::mutex> lock(mutex_);
    staged_.push_back({tag, target, expected, std::move(temp), device});
    return true;
}

std::vector<AtomicFileGroup::Outcome> AtomicFileGroup::commit() {
    std::vector<Entry> entries;
    std::map<std::uint64_t, int> fileSystems;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(staged_);
        fileSystems = fileSystems_;
    }
    // Nothing is renamed before its bytes are on the disk: a crash or a
    // power cut leaves each target as it was or as it is meant to be.
    std::set<std::uint64_t> devices;
    for (const Entry& entry : entries) devices.insert(entry.device);
    std::map<std::uint64_t, std::string> flushErrors;
    for (const std::uint64_t device : devices) {
        if (::syncfs(fileSystems.at(device)) != 0) flushErrors[device] = reason("cannot flush to the disk", errno);
    }
    std::vector<Outcome> outcomes;
    for (const Entry& entry : entries) {
        std::string error;
        struct stat st;
        if (flushErrors.count(entry.device) != 0) {
            error = flushErrors[entry.device];
        } else if (entry.expected) {
            // Checked again right before the rename: another program's save
            // since our read must not be lost.
            if (!stillIs(entry.target, *entry.expected, st)) {
                error = kChanged;
            } else if (::rename(entry.temp.c_str(), entry.target.c_str()) != 0) {
                error = reason("cannot rename", errno);
            }
        } else if (renameNew(entry.temp, entry.target) != 0) {
            error = errno == EEXIST ? "made by another program meanwhile; left as it is"
                                    : reason("cannot rename", errno);
        }
        if (!error.empty()) ::unlink(entry.temp.c_str());
        outcomes.push_back({entry.tag, error});
    }
    return outcomes;
}
