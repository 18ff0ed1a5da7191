#include <windows.h>

#include "system/name_key.h"

// NTFS compares names by its upcase table, which the invariant locale's
// upper-casing follows for every letter a name may hold.
std::filesystem::path::string_type nameKey(const std::filesystem::path& name) {
    std::wstring key = name.native();
    if (!key.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.c_str(), static_cast<int>(key.size()), &key[0],
                      static_cast<int>(key.size()), nullptr, nullptr, 0);
    return key;
}
