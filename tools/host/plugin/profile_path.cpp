#include "profile_path.h"
#include "text/messages.h"

#if defined(_WIN32)
#include <windows.h>

namespace {

// The exact ANSI spelling of `wide`, or false: no best-fit characters, no
// default character, and the bytes must convert back to the same text.
bool exactAnsi(const std::wstring& wide, std::string& ansi) {
    if (wide.empty()) return false;
    const int size = static_cast<int>(wide.size());
    // A UTF-8 ANSI code page takes neither the flag nor the default-character
    // report; the round trip below still catches what it cannot spell.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* reportDefault = utf8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, reportDefault);
    if (n <= 0 || usedDefault) return false;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, &bytes[0], n, nullptr, reportDefault);
    const int back = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (usedDefault || back != size) return false;
    std::wstring roundTrip(static_cast<std::size_t>(back), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), n, &roundTrip[0], back);
    if (roundTrip != wide) return false;
    ansi = std::move(bytes);
    return true;
}

std::wstring shortName(const std::wstring& path) {
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return std::wstring();
    std::wstring out(n, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), &out[0], n);
    if (written == 0 || written >= n) return std::wstring();
    out.resize(written);
    return out;
}

}  // namespace

bool profilePathForPlugin(const std::filesystem::path& full, std::string& ansi, std::string& error) {
    if (exactAnsi(full.native(), ansi)) return true;
    std::error_code ignored;
    std::wstring candidate;
    if (std::filesystem::exists(full, ignored)) {
        candidate = shortName(full.native());
    } else {
        const std::wstring folder = shortName(full.parent_path().native());
        if (!folder.empty()) candidate = (std::filesystem::path(folder) / full.filename()).native();
    }
    if (!candidate.empty() && exactAnsi(candidate, ansi)) return true;
    error =
        tr("the plug-in takes its rule file's path in the ANSI code page (%s), which cannot spell this path, and "
           "the volume gives it no 8.3 short name that it can spell",
           {std::to_string(GetACP())});
    return false;
}

#else

bool profilePathForPlugin(const std::filesystem::path& full, std::string& ansi, std::string&) {
    ansi = full.native();  // file names are bytes, and so are the plug-in's
    return true;
}

#endif
