// The image files named by the command line: files as given, folders
// searched recursively for image file names, each folder in sorted order.
#pragma once

#include <string>
#include <vector>

struct FileList {
    std::vector<std::string> files;
    std::vector<std::string> missing;  // paths that name nothing
};

FileList collectImageFiles(const std::vector<std::string>& paths);

// Whether a file name has one of the image extensions searched for in folders.
bool hasImageExtension(const std::string& name);
