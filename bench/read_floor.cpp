// The floor for reading image headers: list the files as pixtagger-host
// does (folders searched recursively, sorted), then open each, read its
// first 4 KB and close it, on one thread. No header reader can do less.
// Usage: read_floor PATH...   Prints the number of files and bytes read.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error)) {
            files.push_back(argv[i]);
            continue;
        }
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(argv[i], error), end; !error && it != end; it.increment(error)) {
            if (it->is_regular_file(error)) found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    unsigned long long bytes = 0;
    char buffer[4096];
    for (const std::string& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) bytes += static_cast<unsigned long long>(n);
        ::close(fd);
    }
    std::printf("%zu files, %llu bytes read\n", files.size(), bytes);
    return 0;
}
