#include "program_location.h"

#if defined(_WIN32)
#include <windows.h>

std::filesystem::path programDirectory() {
    char path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::filesystem::current_path();
    return std::filesystem::path(std::string(path, n)).parent_path();
}

#else
#include <system_error>

std::filesystem::path programDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

#endif
