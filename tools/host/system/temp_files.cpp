#include "system/temp_files.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using String = fs::path::string_type;

String ascii(const std::string& text) { return String(text.begin(), text.end()); }

bool endsWith(const String& text, const String& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Inside a character, where a name must not be cut: a UTF-8 continuation
// byte (POSIX), the second half of a surrogate pair (Windows).
template <typename Char>
bool continues(Char c) {
    if constexpr (sizeof(Char) == 1) {
        return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    } else {
        return c >= 0xDC00 && c <= 0xDFFF;
    }
}

// The number spelled by text[from, to): digits only, within 32 bits.
std::optional<std::uint64_t> number(const String& text, std::size_t from, std::size_t to) {
    if (from >= to || to - from > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return value;
}

}  // namespace

fs::path tempFilePath(const fs::path& target, std::uint32_t pid, std::uint64_t counter) {
    const String xmp = ascii(".xmp");
    String name = target.filename().native();
    if (endsWith(name, xmp)) name.resize(name.size() - xmp.size());
    const std::size_t limit = 100 - xmp.size();
    if (name.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && continues(name[cut])) --cut;
        name.resize(cut);
    }
    return target.parent_path() /
           (ascii(".") + name + xmp + ascii("." + std::to_string(pid) + "-" + std::to_string(counter) + ".tmp"));
}

std::optional<std::uint32_t> tempFileOwner(const fs::path& name) {
    const String& text = name.native();
    const String tmp = ascii(".tmp");
    if (text.empty() || text[0] != '.' || !endsWith(text, tmp)) return std::nullopt;
    const std::size_t end = text.size() - tmp.size();
    const std::size_t dash = text.rfind('-', end);
    if (dash == String::npos || !number(text, dash + 1, end)) return std::nullopt;
    const std::size_t dot = text.rfind('.', dash);
    if (dot == String::npos || !endsWith(text.substr(1, dot > 0 ? dot - 1 : 0), ascii(".xmp"))) return std::nullopt;
    const std::optional<std::uint64_t> pid = number(text, dot + 1, dash);
    if (!pid || *pid == 0 || *pid > UINT32_MAX) return std::nullopt;  // no process of ours is 0
    return static_cast<std::uint32_t>(*pid);
}

void TempFileSweep::once(const fs::path& folder) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!swept_.insert(folder).second) return;
    }
    // Other workers may stage in this folder meanwhile: their files are this
    // process's, which is running, so they are never taken.
    std::error_code code;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, code), end; !code && it != end;
         it.increment(code)) {
        const std::optional<std::uint32_t> owner = tempFileOwner(it->path().filename());
        std::error_code ignored;  // a file that cannot be looked at or removed stays
        if (owner && it->symlink_status(ignored).type() == fs::file_type::regular && !processRunning(*owner))
            fs::remove(it->path(), ignored);
    }
}
