// Who a file is, to notice that another program replaced or changed it
// between our read and our write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

// Device and inode (on Windows the volume serial number and the file
// index), size, last write time (in the platform's unit: nanoseconds, on
// Windows 100 ns) and how many names the file has (hard links: the C
// runtime's stat says 1 on Windows whatever there are).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::uint64_t links = 1;
    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size && modified == other.modified &&
               links == other.links;
    }
};

// The stamp of an existing file (symbolic links followed), nullopt if none.
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);
