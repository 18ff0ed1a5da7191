#include "system/read_only_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "text/failure_reason.h"
#include "text/messages.h"

ReadOnlyFile::~ReadOnlyFile() {
    unmap();
    if (fd_ >= 0) ::close(fd_);
}

void ReadOnlyFile::fail(const char* what) const { error_ = failedWith(what, std::generic_category().message(errno)); }

bool ReadOnlyFile::open(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) fail(N_("cannot open it"));
    return fd_ >= 0;
}

bool ReadOnlyFile::isOpen() const { return fd_ >= 0; }

long ReadOnlyFile::readAt(std::int64_t offset, void* buffer, std::size_t count) const {
    ssize_t n;
    do {
        n = ::pread(fd_, buffer, count, offset);
    } while (n < 0 && errno == EINTR);
    if (n < 0) fail(N_("cannot read it"));
    return static_cast<long>(n);
}

long ReadOnlyFile::readAt(std::int64_t offset, void* first, std::size_t firstCount, void* second,
                          std::size_t secondCount) const {
    iovec parts[] = {{first, firstCount}, {second, secondCount}};
    ssize_t n;
    do {
        n = ::preadv(fd_, parts, 2, offset);
    } while (n < 0 && errno == EINTR);
    if (n < 0) fail(N_("cannot read it"));
    return static_cast<long>(n);
}

std::int64_t ReadOnlyFile::size() const {
    struct stat st;
    if (::fstat(fd_, &st) == 0) return st.st_size;
    fail(N_("cannot tell its size"));
    return -1;
}

const void* ReadOnlyFile::map(std::size_t length) {
    unmap();
    void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) {
        fail(N_("cannot map it"));
        return nullptr;
    }
    mapped_ = mapped;
    mappedLength_ = length;
    return mapped;
}

void ReadOnlyFile::unmap() {
    if (mapped_ != nullptr) ::munmap(const_cast<void*>(mapped_), mappedLength_);
    mapped_ = nullptr;
}
