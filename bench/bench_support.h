// Small helpers shared by the plain benchmark programs: a wall clock and a
// scratch folder. They print figures; nothing here asserts a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace bench {

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ScratchDir {
public:
    ScratchDir()
        : path_(std::filesystem::temp_directory_path() /
                ("pixtagger-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
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

// The file that saving n rules "attribute i" (Size, area < i, all enabled)
// produces, written in one go: a save through the profile functions rewrites
// the whole file for every key.
inline void writeRuleFile(const std::string& path, std::uint32_t n) {
    std::string text = "[Conditions]\r\nnum=" + std::to_string(n) + "\r\n";
    for (std::uint32_t i = 0; i < n; ++i) {
        text += "[Condition" + std::to_string(i) + "]\r\n_bEnable=1\r\n_attName=attribute " + std::to_string(i) +
                "\r\n_catName=Size\r\n_type=0\r\n_a=" + std::to_string(i) +
                "\r\n_b1=0\r\n_b2=999999999\r\n_cmbA=0\r\n_cmbB1=0\r\n_cmbB2=0\r\n";
    }
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace bench
