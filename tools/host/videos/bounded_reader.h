// Reads of a video file at 64-bit offsets through a window kept in memory,
// counted against a bound: a reader that steps over gigabytes of frames
// reads a few kilobytes of headers, and a damaged or hostile file cannot
// make it read more than its bound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "system/read_only_file.h"

class BoundedReader {
public:
    BoundedReader(const ReadOnlyFile& file, std::int64_t size, std::int64_t bound)
        : file_(file), size_(size), bound_(bound) {}

    std::int64_t size() const { return size_; }
    std::int64_t bytesRead() const { return read_; }
    std::int64_t bound() const { return bound_; }

    // Exactly `count` bytes at `at`; false, with the reason in error(), at
    // the end of the file, on a read error, or past the bound.
    bool read(std::int64_t at, void* out, std::size_t count);

    // Up to `count` bytes at `at`, fewer at the end of the file; -1 with the
    // reason in error().
    long readSome(std::int64_t at, void* out, std::size_t count);

    const std::string& error() const { return error_; }

private:
    bool fill(std::int64_t at);

    static constexpr std::size_t kWindow = 16 << 10;
    const ReadOnlyFile& file_;
    std::int64_t size_, bound_;
    std::int64_t read_ = 0;
    std::array<unsigned char, kWindow> window_{};
    std::int64_t windowAt_ = -1;
    std::size_t windowLength_ = 0;
    std::string error_;
};

// Big-endian and little-endian integers from bytes in memory.
inline std::uint64_t bigEndian(const unsigned char* p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}
inline std::uint64_t littleEndian(const unsigned char* p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
