#include "platform/standin/profile.h"

#include <cstring>
#include <string>
#include <string_view>

#include "platform/standin/profile_store.h"

namespace standin {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size, LPCSTR path) {
    if (buffer == nullptr || size == 0) return 0;
    buffer[0] = '\0';
    if (section == nullptr || key == nullptr || path == nullptr) return 0;

    // Windows drops trailing spaces of the default text.
    std::string_view text = defaultText == nullptr ? "" : defaultText;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);

    const std::shared_ptr<const ProfileDocument> document = profile_store::load(path);
    if (document) {
        if (const auto value = document->find(section, key)) text = *value;
    }
    const std::size_t count = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR path) {
    if (section == nullptr || path == nullptr) return FALSE;
    return profile_store::update(path,
                                 [&](ProfileDocument& document) {
                                     if (key == nullptr) return document.removeSection(section);
                                     if (text == nullptr) return document.removeKey(section, key);
                                     return document.set(section, key, text);
                                 })
               ? TRUE
               : FALSE;
}

}  // namespace standin
