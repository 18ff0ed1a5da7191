// Which name of a run first claimed each file, by device and inode: a
// file reached under two names is worked on once, under the first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "system/file_stamp.h"

class ClaimedFiles {
public:
    // Empty when `name` is the first to claim the file of `stamp`; else the
    // name that claimed it first. From any thread.
    std::filesystem::path claim(const FileStamp& stamp, const std::filesystem::path& name) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto placed = claimed_.emplace(std::make_pair(stamp.device, stamp.inode), name);
        return placed.second ? std::filesystem::path() : placed.first->second;
    }

private:
    std::mutex mutex_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::filesystem::path> claimed_;
};
