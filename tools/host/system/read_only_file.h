// One image file opened once, by its full name (UTF-16 on Windows), for
// reading at offsets: the platform's calls behind Exiv2FileIo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False with the platform's reason in lastError(). Never waits on a
    // named pipe or a device that replaced the file after it was listed.
    bool open(const std::filesystem::path& path);
    bool isOpen() const;

    // Bytes read at `offset` (fewer at the end of the file), or -1 on an
    // error. The second form fills `first`, then `second`, in one call
    // where the platform allows.
    long readAt(std::int64_t offset, void* buffer, std::size_t count) const;
    long readAt(std::int64_t offset, void* first, std::size_t firstCount, void* second, std::size_t secondCount) const;

    // The size now, or -1 on an error.
    std::int64_t size() const;

    // The first `length` bytes mapped for reading, or null with the reason
    // in lastError(); one mapping at a time.
    const void* map(std::size_t length);
    void unmap();

    const std::string& lastError() const { return error_; }

private:
    void fail(const char* what) const;

#if defined(_WIN32)
    void* handle_ = nullptr;
    void* mapping_ = nullptr;
#else
    int fd_ = -1;
#endif
    const void* mapped_ = nullptr;
    std::size_t mappedLength_ = 0;
    mutable std::string error_;
};
