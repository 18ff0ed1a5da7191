// A fresh folder for one test's files, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The full path of a file in the folder, as the profile functions take it.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Whole-file helpers for checking what the profile functions wrote.
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
