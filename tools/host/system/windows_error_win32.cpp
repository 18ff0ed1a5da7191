#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "system/utf8_name.h"
#include "system/windows_error.h"

namespace {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

}  // namespace

std::string windowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<void, LocalFreer> owned(buffer);
    std::wstring text(buffer != nullptr ? buffer : L"", n);
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    while (!text.empty() && (text.back() == L' ' || text.back() == L'.' || text.back() == L'\u3002')) text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : utf8Name(std::filesystem::path(std::move(text)));
}
