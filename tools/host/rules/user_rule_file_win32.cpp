#include <windows.h>

#include <string>

#include "rules/rule_file_choice.h"

std::filesystem::path userRuleFile() {
    // Wide, since the profile folder of a user named outside the ANSI code
    // page is spelled right only in UTF-16.
    const DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (n == 0) return std::filesystem::path();
    std::wstring folder(n, L'\0');
    const DWORD written = GetEnvironmentVariableW(L"APPDATA", &folder[0], n);
    if (written == 0 || written >= n) return std::filesystem::path();
    folder.resize(written);
    const std::filesystem::path appData(folder);
    if (!appData.is_absolute()) return std::filesystem::path();
    return appData / L"pixtagger" / L"rules.ini";
}

const char* userRuleFileWords() { return "%APPDATA%\\pixtagger\\rules.ini"; }
