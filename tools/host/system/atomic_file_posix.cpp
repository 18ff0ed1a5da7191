#include "system/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

const char* const kChanged = "changed by another program while being updated; left as it is";
const char* const kMadeMeanwhile = "made by another program meanwhile; left as it is";

std::string reason(const std::string& what, int code) { return what + ": " + std::generic_category().message(code); }

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_ = -1;
};

FileStamp stampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool stillIs(const fs::path& path, const FileStamp& expected, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0 && stampOf(st) == expected;
}

std::atomic<std::uint64_t> tempCounter{0};

// Staged files open without a name, across the process. Each holds a
// descriptor until its commit, and a run stages up to four batches a core
// before one, so past half of RLIMIT_NOFILE they get a name at once.
std::atomic<std::size_t> openNameless{0};

std::size_t namelessBudget() {
    static const std::size_t budget = [] {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return std::size_t{0};
        return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, rlim_t{1} << 20) / 2);
    }();
    return budget;
}

// A nameless file is linked into place through /proc: linkat's AT_EMPTY_PATH
// would need CAP_DAC_READ_SEARCH.
bool procFdUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

// A staged file's bytes: open without a name (O_TMPFILE) where the file
// system and the budget allow, else under a hidden name of tempFilePath.
// Whatever is not put in place goes with it.
class TempFile {
public:
    TempFile() = default;
    TempFile(TempFile&& other) noexcept
        : fd_(std::move(other.fd_)),
          name_(std::exchange(other.name_, fs::path())),
          counted_(std::exchange(other.counted_, false)) {}
    TempFile& operator=(TempFile&&) = delete;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        fd_.reset();
        uncount();
        if (!name_.empty()) ::unlink(name_.c_str());
    }

    int fd() const { return fd_.get(); }

    bool create(const fs::path& folder, const fs::path& target, mode_t mode, std::string& error) {
        if (procFdUsable()) {
            counted_ = openNameless.fetch_add(1) < namelessBudget();
            if (!counted_) --openNameless;
        }
        if (counted_) {
            fd_.reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd_.get() >= 0) return true;
            const int code = errno;
            uncount();
            // No O_TMPFILE here (or in the kernel): a named file then.
            if (code != EOPNOTSUPP && code != EISDIR && code != EINVAL) {
                error = reason("cannot create a file in its folder", code);
                return false;
            }
        }
        return createNamed(target, mode, error);
    }

    // Once written: a named file's descriptor is not needed any more.
    bool written(std::string& error) {
        if (name_.empty() || fd_.close() == 0) return true;
        error = reason("cannot write", errno);
        return false;
    }

    // At `target`, which must not exist (never replaced).
    bool placeNew(const fs::path& target, std::string& error) {
        const int done = name_.empty()
                             ? ::linkat(AT_FDCWD, procPath().c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW)
                             : renameNew(name_, target);
        if (done != 0) {
            error = errno == EEXIST ? kMadeMeanwhile : reason("cannot rename", errno);
            return false;
        }
        placed();
        return true;
    }

    // Over `target`, checked to be `expected` right before: another
    // program's save since our read must not be lost.
    bool replace(const fs::path& target, const FileStamp& expected, std::string& error) {
        if (name_.empty() && !giveName(target, error)) return false;
        struct stat st;
        if (!stillIs(target, expected, st)) {
            error = kChanged;
            return false;
        }
        if (::rename(name_.c_str(), target.c_str()) != 0) {
            error = reason("cannot rename", errno);
            return false;
        }
        placed();
        return true;
    }

private:
    bool createNamed(const fs::path& target, mode_t mode, std::string& error) {
        return withFreshName(target, "cannot create a file in its folder", error, [&](const fs::path& name) {
            fd_.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
            return fd_.get() >= 0;
        });
    }

    // A name beside `target` for the nameless file, for the rename.
    bool giveName(const fs::path& target, std::string& error) {
        return withFreshName(target, "cannot rename", error, [&](const fs::path& name) {
            return ::linkat(AT_FDCWD, procPath().c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        });
    }

    // Tries fresh temporary names beside `target` until `make` takes one,
    // or fails for another reason than the name being taken.
    template <typename Make>
    bool withFreshName(const fs::path& target, const char* what, std::string& error, Make make) {
        static const auto pid = static_cast<std::uint32_t>(::getpid());
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path name = tempFilePath(target, pid, tempCounter++);
            if (make(name)) {
                name_ = std::move(name);
                return true;
            }
            if (errno != EEXIST) {
                error = reason(what, errno);
                return false;
            }
        }
        error = std::string(what) + ": every temporary name is taken";
        return false;
    }

    // rename() that does not replace a file made meanwhile.
    static int renameNew(const fs::path& from, const fs::path& to) {
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

    std::string procPath() const { return "/proc/self/fd/" + std::to_string(fd_.get()); }

    void placed() {
        fd_.reset();  // written back already: syncfs reported any error
        uncount();
        name_.clear();
    }

    void uncount() {
        if (std::exchange(counted_, false)) --openNameless;
    }

    Fd fd_;
    fs::path name_;  // empty while nameless or once in place
    bool counted_ = false;
};

}  // namespace

struct AtomicFileGroup::Entry {
    std::size_t tag;
    fs::path target;
    std::optional<FileStamp> expected;
    std::uint64_t device;
    TempFile temp;
};

// A folder on each file system written to, open from before the first
// write: syncfs reports write-back errors since the descriptor opened.
struct AtomicFileGroup::Platform {
    std::map<std::uint64_t, Fd> fileSystems;
};

bool processRunning(std::uint32_t pid) {
    if (pid > static_cast<std::uint32_t>(INT_MAX)) return true;  // no PID here: not for us to judge
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

AtomicFileGroup::AtomicFileGroup() : platform_(std::make_unique<Platform>()) {}

AtomicFileGroup::~AtomicFileGroup() = default;

bool AtomicFileGroup::stage(std::size_t tag, const fs::path& target, const std::string& bytes,
                            const std::optional<FileStamp>& expected, std::string& error) {
    struct stat st;
    if (expected && !stillIs(target, *expected, st)) {
        error = kChanged;
        return false;
    }
    // A rename would replace it all the same; the bits say the user wants it kept.
    if (expected && (st.st_mode & 0222) == 0) {
        error = "read-only; left as it is";
        return false;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    sweep_.once(folder);
    Entry entry{tag, target, expected, 0, TempFile()};
    if (!entry.temp.create(folder, target, expected ? 0600 : 0666, error)) return false;
    const int fd = entry.temp.fd();
    struct stat created;
    if (::fstat(fd, &created) != 0) {
        error = reason("cannot write", errno);
        return false;
    }
    entry.device = static_cast<std::uint64_t>(created.st_dev);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Fd& fileSystem = platform_->fileSystems[entry.device];
        if (fileSystem.get() < 0) fileSystem.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fileSystem.get() < 0) {
            error = reason("cannot open its folder", errno);
            platform_->fileSystems.erase(entry.device);
            return false;
        }
    }
    if (expected) {
        if (::fchmod(fd, st.st_mode & 07777) != 0) {
            error = reason("cannot set the permissions", errno);
            return false;
        }
        // Only root may give a file to another owner; the permission bits
        // are what matter to everyone else, so a refusal is no error.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) errno = 0;
    }
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = reason("cannot write", errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!entry.temp.written(error)) return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    staged_.push_back(std::move(entry));
    return true;
}

std::vector<AtomicFileGroup::Outcome> AtomicFileGroup::commit() {
    std::vector<Entry> entries;
    std::map<std::uint64_t, int> fileSystems;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(staged_);
        for (const auto& fileSystem : platform_->fileSystems) fileSystems[fileSystem.first] = fileSystem.second.get();
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
    for (Entry& entry : entries) {
        std::string error;
        if (flushErrors.count(entry.device) != 0) {
            error = flushErrors[entry.device];
        } else if (entry.expected) {
            entry.temp.replace(entry.target, *entry.expected, error);
        } else {
            entry.temp.placeNew(entry.target, error);
        }
        outcomes.push_back({entry.tag, error});
    }
    return outcomes;  // the files not put in place go with `entries`
}
