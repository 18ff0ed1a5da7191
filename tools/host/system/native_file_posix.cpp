#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <system_error>
#include <utility>

#include "system/native_file.h"
#include "system/temp_files.h"
#include "text/failure_reason.h"
#include "text/messages.h"

namespace fs = std::filesystem;

namespace {

std::string reason(const char* what, int code) { return failedWith(what, std::generic_category().message(code)); }

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
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::uint64_t>(st.st_nlink)};
}

// Files open without a name, across the process. Each holds a descriptor
// until its commit, and a run stages up to four batches a core before one,
// so past half of RLIMIT_NOFILE they get a name at once.
std::atomic<std::size_t> openNameless{0};

std::size_t namelessBudget() {
    static const std::size_t budget = [] {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return std::size_t{0};
        return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, rlim_t{1} << 20) / 2);
    }();
    return budget;
}

// A nameless file gets a name through /proc: linkat's AT_EMPTY_PATH would
// need CAP_DAC_READ_SEARCH.
bool procFdUsable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

int linkTo(int fd, const fs::path& name) {
    return ::linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
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

struct NativeTempFile::State {
    Use use = Use::Replacement;
    fs::path folder;
    Fd fd;
    fs::path name;  // empty while nameless or once in place
    bool counted = false;  // among openNameless
    dev_t device = 0;
    ino_t inode = 0;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        release();
        if (!name.empty()) ::unlink(name.c_str());
    }

    void release() {
        fd.reset();  // written back already: syncfs reported any error
        if (std::exchange(counted, false)) --openNameless;
    }

    // Fresh names in the folder until `make` takes one, or fails for another
    // reason than the name being taken.
    template <typename Make>
    bool withFreshName(const char* what, std::string& error, Make make) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path fresh = folder / freshTempName();
            if (make(fresh)) {
                name = std::move(fresh);
                return true;
            }
            if (errno != EEXIST) {
                error = reason(what, errno);
                return false;
            }
        }
        error = tr("%s: every temporary name is taken", {tr(what)});
        return false;
    }

    // The file's descriptor; a named file's closed one opened again, if
    // its name still leads to it.
    int descriptor(Fd& reopened, std::string& error) const {
        if (fd.get() >= 0) return fd.get();
        reopened.reset(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (reopened.get() < 0 || ::fstat(reopened.get(), &st) != 0) {
            error = reason(N_("cannot open it again"), errno);
            return -1;
        }
        if (st.st_dev == device && st.st_ino == inode) return reopened.get();
        error = tr("cannot open it again: another file took its temporary name");
        return -1;
    }
};

NativeTempFile::NativeTempFile() : state_(std::make_unique<State>()) {}
NativeTempFile::NativeTempFile(NativeTempFile&&) noexcept = default;
NativeTempFile& NativeTempFile::operator=(NativeTempFile&&) noexcept = default;
NativeTempFile::~NativeTempFile() = default;

bool NativeTempFile::create(const fs::path& folder, Use use, bool ownerOnly, std::string& error) {
    State& s = *state_;
    s.use = use;
    s.folder = folder;
    const mode_t mode = ownerOnly ? 0600 : 0666;
    if (use == Use::Replacement && procFdUsable()) {
        s.counted = openNameless.fetch_add(1) < namelessBudget();
        if (!s.counted) --openNameless;
    }
    if (s.counted) {
        s.fd.reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        const int code = errno;
        if (s.fd.get() < 0) s.release();
        // No O_TMPFILE on this file system (or in the kernel): a named file then.
        if (s.fd.get() < 0 && code != EOPNOTSUPP && code != EISDIR && code != EINVAL) {
            error = reason(N_("cannot create a file in its folder"), code);
            return false;
        }
    }
    if (s.fd.get() < 0 && !s.withFreshName(N_("cannot create a file in its folder"), error, [&](const fs::path& name) {
            s.fd.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            return s.fd.get() >= 0;
        }))
        return false;
    struct stat st;
    if (::fstat(s.fd.get(), &st) != 0) {
        error = reason(N_("cannot create a file in its folder"), errno);
        return false;
    }
    s.device = st.st_dev;
    s.inode = st.st_ino;
    return true;
}

bool NativeTempFile::write(const std::string& bytes, std::string& error) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(state_->fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = reason(N_("cannot write"), errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool NativeTempFile::finish(std::string& error) {
    // A named file's descriptor is not needed any more; a nameless one's is
    // its only way in.
    if (state_->name.empty() || state_->fd.close() == 0) return true;
    error = reason(N_("cannot write"), errno);
    return false;
}

const fs::path& NativeTempFile::path() const { return state_->name; }

std::uint64_t NativeTempFile::fileSystem() const { return static_cast<std::uint64_t>(state_->device); }

Ownership NativeTempFile::takeAccessOf(const fs::path& old, std::string& error) {
    struct stat st;
    if (::stat(old.c_str(), &st) != 0) {
        error = reason(N_("cannot read its permissions"), errno);
        return Ownership::Failed;
    }
    Fd reopened;
    const int fd = state_->descriptor(reopened, error);
    if (fd < 0) return Ownership::Failed;
    // Owner first: a change of owner clears the set-id bits that fchmod sets.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        const int code = errno;
        struct stat mine;
        if (::fstat(fd, &mine) != 0) {
            error = reason(N_("cannot give it its owner"), errno);
            return Ownership::Failed;
        }
        if (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid) {
            if (code != EPERM && code != EINVAL) {
                error = reason(N_("cannot give it its owner"), code);
                return Ownership::Failed;
            }
            return mine.st_uid != st.st_uid ? Ownership::OtherOwner : Ownership::OtherGroup;
        }
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
        error = reason(N_("cannot set the permissions"), errno);
        return Ownership::Failed;
    }
    return Ownership::Kept;
}

bool NativeTempFile::name(std::string& error) {
    State& s = *state_;
    return !s.name.empty() || s.withFreshName(N_("cannot rename"), error,
                                              [&](const fs::path& name) { return linkTo(s.fd.get(), name) == 0; });
}

bool NativeTempFile::placeNew(const fs::path& target, bool& taken, std::string& error) {
    State& s = *state_;
    if ((s.name.empty() ? linkTo(s.fd.get(), target) : renameNew(s.name, target)) != 0) {
        taken = errno == EEXIST;
        error = reason(N_("cannot rename"), errno);
        return false;
    }
    s.release();
    s.name.clear();
    return true;
}

bool NativeTempFile::replace(const fs::path& target, std::string& error) {
    if (!name(error)) return false;
    if (::rename(state_->name.c_str(), target.c_str()) != 0) {
        error = reason(N_("cannot rename"), errno);
        return false;
    }
    state_->release();
    state_->name.clear();
    return true;
}

Look lookAt(const fs::path& path, FileFacts& facts, std::string& error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Look::Missing;
        error = reason(N_("cannot look at it"), errno);
        return Look::Failed;
    }
    facts.stamp = stampOf(st);
    facts.markedReadOnly = (st.st_mode & 0222) == 0;
    // The effective ids, as open() would judge them.
    facts.userMayWrite = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
    if (!facts.userMayWrite && errno != EACCES && errno != EPERM) {
        error = reason(N_("cannot write it"), errno);
        return Look::Failed;
    }
    return Look::Found;
}

std::optional<FileStamp> fileStamp(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

// A folder on each file system written to, open from before the first
// write: syncfs reports write-back errors since the descriptor opened.
struct FlushBatch::State {
    std::map<std::uint64_t, Fd> fileSystems;
};

FlushBatch::FlushBatch() : state_(std::make_unique<State>()) {}
FlushBatch::~FlushBatch() = default;

bool FlushBatch::track(const NativeTempFile& file, const fs::path& folder, std::string& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Fd& fileSystem = state_->fileSystems[file.fileSystem()];
    if (fileSystem.get() >= 0) return true;
    fileSystem.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fileSystem.get() >= 0) return true;
    error = reason(N_("cannot open its folder"), errno);
    state_->fileSystems.erase(file.fileSystem());
    return false;
}

std::vector<std::string> FlushBatch::flush(const std::vector<const NativeTempFile*>& files) {
    std::map<std::uint64_t, int> fileSystems;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& fileSystem : state_->fileSystems) fileSystems[fileSystem.first] = fileSystem.second.get();
    }
    std::map<std::uint64_t, std::string> errors;
    std::vector<std::string> outcomes;
    for (const NativeTempFile* file : files) {
        const std::uint64_t device = file->fileSystem();
        if (errors.count(device) == 0)
            errors[device] = ::syncfs(fileSystems.at(device)) == 0 ? "" : reason(N_("cannot flush to the disk"), errno);
        outcomes.push_back(errors[device]);
    }
    return outcomes;
}
