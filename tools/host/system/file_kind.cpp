#include "system/file_kind.h"

#include <system_error>

namespace fs = std::filesystem;

std::string nonFileKind(const fs::path& path) {
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
