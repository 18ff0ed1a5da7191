// Small helpers shared by the plain benchmark programs: a wall clock and a
// scratch folder. They print figures; nothing here asserts a time.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ScratchDir {
public:
    ScratchDir() : path_(std::filesystem::temp_directory_path() / ("pixtagger-bench-" + std::to_string(
                                                                         std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace bench
