// A file of ours in the system's temporary folder, made exclusively (never
// one that exists, nor a planted link) and removed with its owner: where
// the plug-in's own load and save run on a copy. The profile calls need it
// by its path, so it is a named file, closed once written.
#pragma once

#include <filesystem>
#include <string>

#include "system/native_file.h"

class ScratchFile {
public:
    // Made holding `bytes`; check ok(), else error() says why.
    explicit ScratchFile(const std::string& bytes);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return file_.path(); }

private:
    NativeTempFile file_;
    std::string error_;
};
