#include "system/file_kind.h"

#include <system_error>

#include "text/messages.h"

namespace fs = std::filesystem;

std::string nonFileKind(const fs::path& path) {
    std::error_code error;
    switch (fs::status(path, error).type()) {
    case fs::file_type::regular: return std::string();
    case fs::file_type::directory: return tr("a folder");
    case fs::file_type::fifo: return tr("a named pipe");
    case fs::file_type::socket: return tr("a socket");
    case fs::file_type::block:
    case fs::file_type::character: return tr("a device");
    case fs::file_type::not_found: return tr("nothing");
    default: return tr("not a regular file");
    }
}
