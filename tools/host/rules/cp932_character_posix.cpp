#include <iconv.h>

#include "rules/cp932_encode.h"

std::optional<std::string> cp932Character(const std::string& utf8Character) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's own failure value
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    char out[8];
    char* in = const_cast<char*>(utf8Character.data());
    std::size_t inLeft = utf8Character.size();
    char* to = out;
    std::size_t outLeft = sizeof out;
    const bool converted = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    if (!converted) return std::nullopt;
    return std::string(out, sizeof out - outLeft);
}
