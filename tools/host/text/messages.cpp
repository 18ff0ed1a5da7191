#include "text/messages.h"

#include <libintl.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "text/message_catalogs.h"

namespace {

const char kDomain[] = "pixtagger-host";

}  // namespace

void initMessages(const std::filesystem::path& here) {
    // The build folder and the zip keep the catalogs beside the program; an
    // installed prefix in share/locale.
    std::error_code ignored;
    const std::filesystem::path beside = here / "locale";
    bindMessageCatalogs(kDomain, std::filesystem::is_directory(beside, ignored)
                                     ? beside
                                     : (here / ".." / "share" / "locale").lexically_normal());
}

const char* tr(const char* english) { return dgettext(kDomain, english); }

std::string tr(const char* english, std::initializer_list<std::string> args) {
    return formatMessage(tr(english), args);
}

std::string trn(const char* singular, const char* plural, unsigned long n, std::initializer_list<std::string> args) {
    return formatMessage(dngettext(kDomain, singular, plural, n), args);
}

std::string formatMessage(const char* pattern, std::initializer_list<std::string> args) {
    const std::vector<std::string> values(args);
    std::string out;
    std::size_t next = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
        } else if (p[1] == 's') {
            if (next < values.size()) out += values[next];
            ++next;
            ++p;
        } else if (p[1] >= '1' && p[1] <= '9' && p[2] == '$' && p[3] == 's') {
            const auto index = static_cast<std::size_t>(p[1] - '1');
            if (index < values.size()) out += values[index];
            p += 3;
        } else {
            out += '%';
        }
    }
    return out;
}
