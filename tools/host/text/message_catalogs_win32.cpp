#include "text/message_catalogs.h"

#include <windows.h>

#include <libintl.h>

#include <cstdlib>
#include <string>

namespace {

// The user's UI language as gettext names languages ("ja_JP").
std::string uiLanguage() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0)
        return "C";
    std::string language;
    for (const wchar_t* c = name; *c != L'\0' && *c < 0x80; ++c) language += *c == L'-' ? '_' : static_cast<char>(*c);
    return language.empty() ? "C" : language;
}

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe): before any thread
    return value != nullptr && value[0] != '\0';
}

}  // namespace

void bindMessageCatalogs(const char* domain, const std::filesystem::path& folder) {
    // LANGUAGE as the user set it, else LANG, else the UI language: told to
    // gettext through LANGUAGE, which it takes before LC_ALL, whatever the
    // C runtime's locale.
    if (!isSet("LANGUAGE")) _putenv_s("LANGUAGE", isSet("LANG") ? std::getenv("LANG") : uiLanguage().c_str());
    wbindtextdomain(domain, folder.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
}
