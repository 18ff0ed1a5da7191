#include "system/program_location.h"

#if defined(_WIN32)
#include <windows.h>

std::filesystem::path programDirectory() {
    wchar_t path[32768];  // the longest path Windows has
    const DWORD n = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (n == 0 || n >= sizeof path / sizeof path[0]) return std::filesystem::current_path();
    return std::filesystem::path(std::wstring(path, n)).parent_path();
}

#else
#include <system_error>

std::filesystem::path programDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

#endif
