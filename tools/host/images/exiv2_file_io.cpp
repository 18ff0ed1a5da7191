#include "exiv2_file_io.h"

#include <exiv2/error.hpp>
#include <exiv2/futils.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

Exiv2FileIo::Exiv2FileIo(const std::filesystem::path& path) : path_(path) {}

Exiv2FileIo::~Exiv2FileIo() {
    Exiv2FileIo::munmap();  // this class's own, as the destructor must
    if (fd_ >= 0) ::close(fd_);
}

int Exiv2FileIo::open() {
    if (fd_ < 0) {
        // Never waits on a named pipe that replaced the file after it was listed.
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd_ < 0) return 1;  // errno says why, for Exiv2's message
    }
    open_ = true;
    position_ = 0;
    eof_ = false;
    error_ = false;
    return 0;
}

int Exiv2FileIo::close() {
    munmap();
    open_ = false;
    return 0;
}

bool Exiv2FileIo::fill() {
    if (knownEnd_ >= 0 && position_ >= knownEnd_) return false;
    ssize_t n;
    do {
        n = ::pread(fd_, window_.data(), window_.size(), position_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = true;
        return false;
    }
    windowStart_ = position_;
    windowLength_ = n;
    if (n < kWindowSize) knownEnd_ = position_ + n;
    return n > 0;
}

long Exiv2FileIo::readAround(Exiv2::byte* buf, long count) {
    if (knownEnd_ >= 0 && position_ >= knownEnd_) return 0;
    iovec parts[] = {{buf, static_cast<std::size_t>(count)}, {window_.data(), window_.size()}};
    ssize_t n;
    do {
        n = ::preadv(fd_, parts, 2, position_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = true;
        return 0;
    }
    windowStart_ = position_ + count;
    windowLength_ = std::max<long>(0, n - count);
    if (n < count + kWindowSize) knownEnd_ = position_ + n;
    return std::min<long>(n, count);
}

long Exiv2FileIo::read(Exiv2::byte* buf, long rcount) {
    if (!open_ || rcount <= 0) return 0;
    long done = 0;
    while (done < rcount) {
        const long offset = position_ - windowStart_;
        if (offset >= 0 && offset < windowLength_) {
            const long n = std::min(windowLength_ - offset, rcount - done);
            std::memcpy(buf + done, window_.data() + offset, static_cast<std::size_t>(n));
            done += n;
            position_ += n;
        } else if (rcount - done >= kWindowSize) {
            // A large read (an Exif block, a chunk) goes straight to the
            // caller, with the next window in the same call.
            const long n = readAround(buf + done, rcount - done);
            if (n == 0) break;
            done += n;
            position_ += n;
        } else if (!fill()) {
            break;
        }
    }
    if (done < rcount) eof_ = true;
    return done;
}

Exiv2::DataBuf Exiv2FileIo::read(long rcount) {
    if (rcount < 0 || static_cast<std::size_t>(rcount) > size()) throw Exiv2::Error(Exiv2::kerInvalidMalloc);
    Exiv2::DataBuf buf(rcount);
    buf.size_ = read(buf.pData_, rcount);
    return buf;
}

int Exiv2FileIo::getb() {
    if (!open_) return EOF;
    const long offset = position_ - windowStart_;
    if ((offset >= 0 && offset < windowLength_) || fill())
        return window_[static_cast<std::size_t>(position_++ - windowStart_)];
    eof_ = true;
    return EOF;
}

int Exiv2FileIo::seek(long offset, Position pos) {
    if (!open_) return -1;
    const long base = pos == beg ? 0 : pos == cur ? position_ : static_cast<long>(size());
    long target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) {
        errno = EINVAL;
        return -1;
    }
    position_ = target;  // beyond the end is allowed, as with fseek
    eof_ = false;
    return 0;
}

long Exiv2FileIo::tell() const { return open_ ? position_ : -1; }

size_t Exiv2FileIo::size() const {
    if (knownEnd_ >= 0) return static_cast<std::size_t>(knownEnd_);
    if (size_ < 0) {
        struct stat st;
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) return static_cast<std::size_t>(-1);
        size_ = st.st_size;
    }
    return static_cast<std::size_t>(size_);
}

bool Exiv2FileIo::isopen() const { return open_; }

int Exiv2FileIo::error() const { return open_ && error_ ? 1 : 0; }

bool Exiv2FileIo::eof() const { return eof_; }

std::string Exiv2FileIo::path() const { return path_.string(); }

Exiv2::byte* Exiv2FileIo::mmap(bool isWriteable) {
    if (isWriteable) throw Exiv2::Error(Exiv2::kerFailedToMapFileForReadWrite, path(), "opened for reading only");
    munmap();
    const auto wholeInWindow = [this] { return knownEnd_ >= 0 && windowStart_ == 0 && windowLength_ == knownEnd_; };
    if (!wholeInWindow() && knownEnd_ >= 0 && knownEnd_ <= kWindowSize) {
        // A small file fits the window: one read, and nothing to unmap.
        const long position = position_;
        position_ = 0;
        fill();
        position_ = position;
    }
    if (wholeInWindow()) return window_.data();
    // A mapped page past the end of the file faults: a file that shrank
    // since Exiv2 learned its size is refused instead.
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) throw Exiv2::Error(Exiv2::kerCallFailed, path(), Exiv2::strError(), "fstat");
    if (knownEnd_ < 0 && size_ < 0) size_ = st.st_size;
    const std::size_t length = size();
    if (static_cast<std::size_t>(st.st_size) < length) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) throw Exiv2::Error(Exiv2::kerCallFailed, path(), Exiv2::strError(), "::mmap");
    mapped_ = mapped;
    mappedLength_ = length;
    return static_cast<Exiv2::byte*>(mapped);
}

int Exiv2FileIo::munmap() {
    if (mapped_ == nullptr) return 0;
    const int rc = ::munmap(mapped_, mappedLength_);
    mapped_ = nullptr;
    return rc == 0 ? 0 : 1;
}

long Exiv2FileIo::write(const Exiv2::byte*, long) { return 0; }

long Exiv2FileIo::write(Exiv2::BasicIo&) { return 0; }

int Exiv2FileIo::putb(Exiv2::byte) { return EOF; }

void Exiv2FileIo::transfer(Exiv2::BasicIo&) {
    throw Exiv2::Error(Exiv2::kerTransferFailed, path(), "opened for reading only");
}
