// The hidden temporary files that sidecar writes use beside their targets:
// their names, and removing those a killed run left behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

// `.<name>.xmp.<pid>-<counter>.tmp` beside `target`: hidden, so that a photo
// manager looking for *.xmp never takes it, and named by its process, so that
// a later run can tell whether that process is gone. A long name is cut
// to 100 bytes (UTF-16 units on Windows), between characters, ".xmp" kept.
std::filesystem::path tempFilePath(const std::filesystem::path& target, std::uint32_t pid, std::uint64_t counter);

// The process in a name of that form; nullopt for any other name.
std::optional<std::uint32_t> tempFileOwner(const std::filesystem::path& name);

// Whether `pid` may name a running process: false only when the platform
// says there is no such process (the platform files define it).
bool processRunning(std::uint32_t pid);

// Removes, once per folder, the temporary files in it whose process is gone;
// a running process's (another run in the same folder) are left alone.
class TempFileSweep {
public:
    void once(const std::filesystem::path& folder);

private:
    std::mutex mutex_;
    std::set<std::filesystem::path> swept_;
};
