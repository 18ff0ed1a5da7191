#include "videos/bounded_reader.h"
#include "text/messages.h"

#include <algorithm>
#include <cstring>

bool BoundedReader::fill(std::int64_t at) {
    if (read_ + static_cast<std::int64_t>(kWindow) > bound_) {
        error_ = tr("reads more than %s KiB of its headers, more than a video's hold", {std::to_string(bound_ >> 10)});
        return false;
    }
    const long n = file_.readAt(at, window_.data(), window_.size());
    if (n < 0) {
        error_ = file_.lastError();
        return false;
    }
    read_ += n;
    windowAt_ = at;
    windowLength_ = static_cast<std::size_t>(n);
    return true;
}

long BoundedReader::readSome(std::int64_t at, void* out, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < count && at + static_cast<std::int64_t>(done) < size_) {
        const std::int64_t here = at + static_cast<std::int64_t>(done);
        if (windowAt_ < 0 || here < windowAt_ || here >= windowAt_ + static_cast<std::int64_t>(windowLength_)) {
            if (!fill(here)) return -1;
            if (windowLength_ == 0) break;  // shorter than it was: the end
        }
        const auto offset = static_cast<std::size_t>(here - windowAt_);
        const std::size_t n = std::min(count - done, windowLength_ - offset);
        std::memcpy(bytes + done, window_.data() + offset, n);
        done += n;
    }
    return static_cast<long>(done);
}

bool BoundedReader::read(std::int64_t at, void* out, std::size_t count) {
    const long n = readSome(at, out, count);
    if (n == static_cast<long>(count)) return true;
    if (n >= 0) error_ = tr("cut short at byte %s", {std::to_string(at + n)});
    return false;
}
