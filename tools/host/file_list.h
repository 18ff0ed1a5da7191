// The image files named by the command line: files as given, folders
// searched recursively for image file names, each folder in sorted order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct FileList {
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> missing;  // paths that name nothing
};

FileList collectImageFiles(const std::vector<std::filesystem::path>& paths);

// What a path that is not a regular file names ("a folder", "a named pipe",
// …), or an empty text for a regular file. Reading a named pipe without a
// writer would wait forever, so such paths are refused before any read.
std::string nonFileKind(const std::filesystem::path& path);

// Whether a file name has one of the image extensions searched for in folders
// (camera raw files too in the Linux build).
bool hasImageExtension(const std::filesystem::path& name);

// Whether a file name has the extension of a camera raw format.
bool hasRawExtension(const std::filesystem::path& name);
