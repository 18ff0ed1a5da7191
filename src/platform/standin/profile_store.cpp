#include "platform/standin/profile_store.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#else
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace standin::profile_store {

namespace {

// What identifies one version of a file without reading it.
struct Stamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const Stamp& o) const {
        return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
    }
};

struct Snapshot {
    Stamp stamp;
    std::string bytes;
};

std::atomic<unsigned> g_tempCounter{0};

#if defined(_WIN32)

// Windows: no cached copies (the test builds only), so stamps are not needed.
std::optional<Snapshot> readFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return Snapshot{Stamp{}, content.str()};
}

std::optional<Stamp> replaceFile(const std::string& path, const std::string& bytes) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return std::nullopt;
    }
    const std::string temp = path + ".~" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(g_tempCounter++);
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    CloseHandle(file);
    if (!ok || !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temp.c_str());
        return std::nullopt;
    }
    return Stamp{};
}

constexpr bool kCaching = false;
constexpr bool kExactStamps = false;
std::optional<Stamp> statFile(const std::string&) { return std::nullopt; }
std::int64_t nowNs() { return 0; }

#else

std::optional<Stamp> stampOf(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    return Stamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                 static_cast<std::uint64_t>(st.st_size),
                 static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<Stamp> statFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// One open, one fstat, one read for the usual file. A change during the read
// leaves a stamp older than the file's, so the next call reads again.
std::optional<Snapshot> readFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return std::nullopt;
    const std::optional<Stamp> stamp = stampOf(st);
    if (!stamp) return std::nullopt;
    Snapshot snapshot{*stamp, std::string()};
    snapshot.bytes.resize(stamp->size + 1);  // one byte more shows the end in the same read
    std::size_t got = 0;
    while (got < snapshot.bytes.size()) {
        const ssize_t n = ::read(fd.get(), &snapshot.bytes[got], snapshot.bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        // A file that grew is read to its end; its new stamp differs anyway.
        if (got == snapshot.bytes.size() && got > stamp->size) snapshot.bytes.resize(got * 2);
        else if (got == stamp->size) break;
    }
    snapshot.bytes.resize(got);
    return snapshot;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

struct Identity {
    uid_t uid = ::geteuid();
    gid_t gid = ::getegid();
};

const Identity& self() {
    static const Identity identity;
    return identity;
}

// Writes a temporary file beside the target and puts it in the target's
// place in one step, so that a process killed at any point leaves the old
// file or the new one. Returns the new file's stamp, or nullopt when nothing
// was changed.
std::optional<Stamp> replaceFile(const std::string& path, const std::string& bytes) {
    std::string target = path;
    struct stat st;
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists) {
        if (S_ISLNK(st.st_mode)) {  // replace the link's target, not the link
            char resolved[PATH_MAX];
            if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0) return std::nullopt;
            target = resolved;
        }
        // A read-only file is refused, as Windows refuses it, even to root.
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0) return std::nullopt;
        if (self().uid != 0 && ::access(target.c_str(), W_OK) != 0) return std::nullopt;
    }
    std::string temp;
    int raw = -1;
    for (int attempt = 0; raw < 0 && attempt < 100; ++attempt) {
        temp = target + ".~" + std::to_string(g_tempCounter++);
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? st.st_mode & 07777 : 0666);
        if (raw < 0 && errno != EEXIST) return std::nullopt;
    }
    Fd fd(raw);
    if (fd.get() < 0) return std::nullopt;
    bool ok = writeAll(fd.get(), bytes);
    // The file system's clock is coarse: a same-size edit by someone else in
    // the same tick could leave the stamp as it was. A modification time to
    // the nanosecond of now is one no later write can repeat, so the stamp of
    // this version is enough to trust it.
    struct timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
    ok = ok && ::clock_gettime(CLOCK_REALTIME, &times[1]) == 0 && ::futimens(fd.get(), times) == 0;
    struct stat written;
    ok = ok && ::fstat(fd.get(), &written) == 0;
    if (ok && exists) {
        // The umask may have taken bits of the target's mode away; the
        // owner is kept where we may set it.
        if ((written.st_mode & 07777) != (st.st_mode & 07777)) ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0;
        if (ok && self().uid == 0 && (st.st_uid != self().uid || st.st_gid != self().gid)) {
            ok = ::fchown(fd.get(), st.st_uid, st.st_gid) == 0;
        }
    }
    ok = ::close(fd.release()) == 0 && ok;
    if (ok && exists) {
        // Swapping the two names is as atomic as renaming over the target,
        // and spares ext4 the writeback it starts for a replacing rename,
        // which made each write several times slower. The old bytes then
        // leave under the temporary name.
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
            ::unlink(temp.c_str());
            return stampOf(written);
        }
    }
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return stampOf(written);
}

constexpr bool kCaching = true;
constexpr bool kExactStamps = true;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

#endif

// A file changed twice within one tick of the file system's clock can keep
// its stamp; a copy is trusted on its stamp alone only once it was taken
// later than this after the file's modification time.
constexpr std::int64_t kClockTickNs = 50'000'000;

struct Entry {
    std::string path;
    Snapshot snapshot;
    std::int64_t takenNs = 0;  // when the bytes were known to be the file's
    std::shared_ptr<ProfileDocument> document;
    bool written = false;  // our own write, stamped to the nanosecond
};

class Cache {
public:
    std::shared_ptr<ProfileDocument> load(const std::string& path) {
        if (!kCaching) {
            const std::optional<Snapshot> snapshot = readFile(path);
            return snapshot ? std::make_shared<ProfileDocument>(snapshot->bytes) : nullptr;
        }
        auto it = find(path);
        // A copy trusted on its stamp costs one stat; any other is checked
        // against the file's bytes.
        if (it != entries_.end() && trusted(*it)) {
            const std::optional<Stamp> stamp = statFile(path);
            if (stamp && *stamp == it->snapshot.stamp) return it->document;
        }
        const std::int64_t takenNs = nowNs();
        std::optional<Snapshot> snapshot = readFile(path);
        if (!snapshot) {
            if (it != entries_.end()) entries_.erase(it);
            return nullptr;
        }
        if (it != entries_.end() && it->snapshot.bytes == snapshot->bytes) {
            it->snapshot.stamp = snapshot->stamp;
            it->takenNs = takenNs;
            return it->document;
        }
        auto document = std::make_shared<ProfileDocument>(snapshot->bytes);
        remember(Entry{path, std::move(*snapshot), takenNs, document});
        return document;
    }

    bool update(const std::string& path, const std::function<bool(ProfileDocument&)>& edit) {
        std::shared_ptr<ProfileDocument> current = load(path);
        // Edit in place when no reader holds this copy; a failed write below
        // forgets the cached copy, so it never disagrees with the file.
        std::shared_ptr<ProfileDocument> document = !current ? std::make_shared<ProfileDocument>()
                                                    : current.use_count() <= 2
                                                        ? current
                                                        : std::make_shared<ProfileDocument>(*current);
        current.reset();
        std::optional<Stamp> stamp;
        std::string bytes;
        try {
            if (!edit(*document)) return true;
            bytes = document->bytes();
            const std::int64_t takenNs = nowNs();
            stamp = replaceFile(path, bytes);
            if (stamp && kCaching) {
                remember(Entry{path, Snapshot{*stamp, std::move(bytes)}, takenNs, std::move(document), kExactStamps});
                return true;
            }
        } catch (...) {
            forget(path);  // the copy may be half edited
            throw;
        }
        forget(path);
        return stamp.has_value();
    }

    std::mutex mutex;

private:
    static constexpr std::size_t kEntries = 10;

    // Taken later than a clock tick after the file's modification time: any
    // later change to the file shows in its stamp.
    static bool trusted(const Entry& e) { return e.written || e.takenNs - kClockTickNs > e.snapshot.stamp.mtimeNs; }

    std::vector<Entry>::iterator find(const std::string& path) {
        return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path == path; });
    }

    void forget(const std::string& path) {
        auto it = find(path);
        if (it != entries_.end()) entries_.erase(it);
    }

    void remember(Entry entry) {
        auto it = find(entry.path);
        if (it != entries_.end()) {
            entries_.erase(it);
        } else if (entries_.size() == kEntries) {
            entries_.pop_back();
        }
        entries_.insert(entries_.begin(), std::move(entry));
    }

    std::vector<Entry> entries_;  // most recently stored first
};

Cache& cache() {
    static Cache instance;
    return instance;
}

}  // namespace

std::shared_ptr<const ProfileDocument> load(const std::string& path) {
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.load(path);
}

bool update(const std::string& path, const std::function<bool(ProfileDocument&)>& edit) {
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.update(path, edit);
}

}  // namespace standin::profile_store
