#include "system/utf8_name.h"

#if defined(_WIN32)
#include <windows.h>

std::string utf8Name(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &utf8[0], n, nullptr, nullptr);
    return utf8;
}

#else

std::string utf8Name(const std::filesystem::path& path) { return path.native(); }

#endif
