#include "exiv2_file_io.h"

#include <exiv2/error.hpp>
#include <exiv2/futils.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "system/utf8_name.h"

Exiv2FileIo::Exiv2FileIo(const std::filesystem::path& path) : path_(path) {}

Exiv2FileIo::~Exiv2FileIo() = default;  // the file unmaps and closes itself

int Exiv2FileIo::open() {
    if (!file_.isOpen() && !file_.open(path_)) return 1;
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
    const long n = file_.readAt(position_, window_.data(), window_.size());
    if (n < 0) {
        error_ = true;
        return false;
    }
    windowStart_ = position_;
    windowLength_ = n;
    if (n < kWindowSize) foundEnd(position_, n);
    return n > 0;
}

void Exiv2FileIo::foundEnd(long at, long n) {
    if (n > 0 || at == 0) {
        knownEnd_ = at + n;
        return;
    }
    // A read that starts beyond the end (a seek may go there) learns only
    // that the end is not after it: the file says where it is, so that
    // size(), which bounds Exiv2's reads, never counts bytes that are not there.
    const std::int64_t now = file_.size();
    if (now >= 0) knownEnd_ = static_cast<long>(std::min<std::int64_t>(now, at));
}

long Exiv2FileIo::readAround(Exiv2::byte* buf, long count) {
    if (knownEnd_ >= 0 && position_ >= knownEnd_) return 0;
    const long n = file_.readAt(position_, buf, static_cast<std::size_t>(count), window_.data(), window_.size());
    if (n < 0) {
        error_ = true;
        return 0;
    }
    windowStart_ = position_ + count;
    windowLength_ = std::max<long>(0, n - count);
    if (n < count + kWindowSize) foundEnd(position_, n);
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
        const std::int64_t now = file_.isOpen() ? file_.size() : -1;
        if (now < 0) return static_cast<std::size_t>(-1);
        size_ = static_cast<long>(now);
    }
    return static_cast<std::size_t>(size_);
}

bool Exiv2FileIo::isopen() const { return open_; }

int Exiv2FileIo::error() const { return open_ && error_ ? 1 : 0; }

bool Exiv2FileIo::eof() const { return eof_; }

std::string Exiv2FileIo::path() const { return utf8Name(path_); }

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
    const std::int64_t now = file_.size();
    if (now < 0) throw Exiv2::Error(Exiv2::kerCallFailed, path(), file_.lastError(), "size");
    if (knownEnd_ < 0 && size_ < 0) size_ = static_cast<long>(now);
    const std::size_t length = size();
    if (static_cast<std::uint64_t>(now) < length) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    const void* mapped = file_.map(length);
    if (mapped == nullptr) throw Exiv2::Error(Exiv2::kerCallFailed, path(), file_.lastError(), "map");
    // Exiv2 asks for a writable pointer but only reads through it.
    return static_cast<Exiv2::byte*>(const_cast<void*>(mapped));
}

int Exiv2FileIo::munmap() {
    file_.unmap();
    return 0;
}

long Exiv2FileIo::write(const Exiv2::byte*, long) { return 0; }

long Exiv2FileIo::write(Exiv2::BasicIo&) { return 0; }

int Exiv2FileIo::putb(Exiv2::byte) { return EOF; }

void Exiv2FileIo::transfer(Exiv2::BasicIo&) {
    throw Exiv2::Error(Exiv2::kerTransferFailed, path(), "opened for reading only");
}
