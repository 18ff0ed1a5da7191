#include <windows.h>

#include "rules/cp932_encode.h"

std::optional<std::string> cp932Character(const std::string& utf8Character) {
    wchar_t wide[2];
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Character.data(),
                                          static_cast<int>(utf8Character.size()), wide, 2);
    if (units <= 0) return std::nullopt;
    char out[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, units, out, sizeof out, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    return std::string(out, static_cast<std::size_t>(n));
}
