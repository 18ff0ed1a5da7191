// The image files named by the command line: files as given, folders
// searched recursively for image file names, each folder in sorted order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

struct FileList {
    struct Problem {
        std::filesystem::path path;
        std::string reason;  // "no such file or folder", "cannot read this folder: …"
    };
    std::vector<std::filesystem::path> files;
    std::vector<Problem> problems;  // named on the error stream; the run goes on without them
    std::size_t linkedFoldersLeftOut = 0;  // symbolic links to folders, not followed
};

// Symbolic links to folders inside a walk are followed only with
// `followLinks`, as ripgrep and fd do; then each real folder is entered
// once, the first time the sorted walk meets it, so a link loop ends and no
// image is listed twice through two of its folder's names.
FileList collectImageFiles(const std::vector<std::filesystem::path>& paths, bool followLinks);
