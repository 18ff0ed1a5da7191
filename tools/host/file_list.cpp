#include "file_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool hasImageExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const char* const kExtensions[] = {"jpg", "jpeg", "jpe", "png", "gif", "bmp", "dib", "tif", "tiff", "webp"};
    return std::find(std::begin(kExtensions), std::end(kExtensions), ext) != std::end(kExtensions);
}

std::string nonFileKind(const std::string& path) {
    std::error_code error;
    switch (fs::status(path, error).type()) {
    case fs::file_type::regular: return std::string();
    case fs::file_type::directory: return "a folder";
    case fs::file_type::fifo: return "a named pipe";
    case fs::file_type::socket: return "a socket";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    case fs::file_type::not_found: return "nothing";
    default: return "not a regular file";
    }
}

FileList collectImageFiles(const std::vector<std::string>& paths) {
    FileList list;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            std::vector<std::string> found;
            const auto options = fs::directory_options::skip_permission_denied;
            for (fs::recursive_directory_iterator it(path, options, error), end; !error && it != end; it.increment(error)) {
                if (it->is_regular_file(error) && hasImageExtension(it->path().filename().string())) {
                    found.push_back(fs::path(it->path()).make_preferred().string());
                }
            }
            std::sort(found.begin(), found.end());
            list.files.insert(list.files.end(), found.begin(), found.end());
        } else if (fs::exists(status)) {
            list.files.push_back(path);  // named on purpose: tried whatever its name
        } else {
            list.missing.push_back(path);
        }
    }
    return list;
}
