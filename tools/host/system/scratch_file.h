// A file of a fresh unique name in the system's temporary folder, made
// exclusively (never one that exists, nor a planted link) and removed with
// its owner: where the plug-in's own load and save run on a copy.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

class ScratchFile {
public:
    // Made holding `bytes`; check ok(), else error() says why.
    explicit ScratchFile(const std::string& bytes);
    ~ScratchFile() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string error_;
};
