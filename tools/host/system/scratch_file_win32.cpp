#include <windows.h>

#include <atomic>

#include "system/utf8_name.h"
#include "system/scratch_file.h"

ScratchFile::ScratchFile(const std::string& bytes) {
    wchar_t folderText[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folderText);
    if (n == 0 || n > MAX_PATH) {
        error_ = "no temporary folder";
        return;
    }
    const std::filesystem::path folder(folderText);
    // CREATE_NEW never opens a file that is there; the name only has to be
    // one no other run uses now.
    static std::atomic<unsigned> counter{0};
    HANDLE file = INVALID_HANDLE_VALUE;
    std::filesystem::path path;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        path = folder / (L"pixtagger-rules-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++) + L".ini");
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        error_ = "cannot make a scratch file in " + utf8Name(folder) + " (error " + std::to_string(GetLastError()) +
                 ")";
        return;
    }
    path_ = path;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
                     written == bytes.size());
    const DWORD writeError = GetLastError();
    if (CloseHandle(file) == 0 || !ok) {
        error_ = "cannot write a scratch file in " + utf8Name(folder) + " (error " +
                 std::to_string(ok ? GetLastError() : writeError) + ")";
        DeleteFileW(path_.c_str());
        path_.clear();
    }
}
