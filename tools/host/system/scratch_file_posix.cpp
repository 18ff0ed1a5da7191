#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "system/scratch_file.h"

ScratchFile::ScratchFile(const std::string& bytes) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) {
        error_ = "no temporary folder: " + error.message();
        return;
    }
    std::string name = (folder / "pixtagger-rules-XXXXXX").string();
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot make a scratch file in " + folder.string() + ": " + std::generic_category().message(errno);
        return;
    }
    path_ = buffer.data();
    bool written = true;
    for (std::size_t done = 0; written && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        error_ = "cannot write a scratch file in " + folder.string() + ": " +
                 std::generic_category().message(written ? errno : writeError);
        std::filesystem::remove(path_, error);
        path_.clear();
    }
}
