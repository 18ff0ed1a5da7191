#include "text/message_catalogs.h"

#include <libintl.h>

#include <clocale>

void bindMessageCatalogs(const char* domain, const std::filesystem::path& folder) {
    // Only the texts' language follows the user's locale: numbers and
    // everything else the program writes stay as they are.
    std::setlocale(LC_MESSAGES, "");  // NOLINT(concurrency-mt-unsafe): at start, before any thread
    bindtextdomain(domain, folder.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
    // The system's reasons (strerror) come from the C library's own catalog:
    // in UTF-8 too, not turned to question marks by the "C" character type.
    bind_textdomain_codeset("libc", "UTF-8");
}
