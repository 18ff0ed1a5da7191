#include <windows.h>

#include <string>

#include "system/process_identity.h"
#include "system/windows_handle.h"

namespace {

// A wide text's bytes, for the hash.
std::string bytesOf(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::uint64_t creationTime(HANDLE process, bool& known) {
    FILETIME created{}, exited{}, kernel{}, user{};
    known = GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
    return (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

}  // namespace

std::uint64_t thisMachine() {
    static const std::uint64_t machine = [] {
        std::wstring id;
        wchar_t guid[64] = {};
        DWORD size = sizeof guid;
        // The 64-bit view, where Windows keeps it, from a 32-bit program too.
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                         RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, guid, &size) == ERROR_SUCCESS)
            id = guid;
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (GetComputerNameW(name, &length)) id += L"\n" + std::wstring(name, length);
        return identityHash(bytesOf(id));
    }();
    return machine;
}

ProcessIdentity thisProcess() {
    static const ProcessIdentity self = [] {
        bool known = false;
        const std::uint64_t started = creationTime(GetCurrentProcess(), known);
        return ProcessIdentity{static_cast<std::uint32_t>(GetCurrentProcessId()), known ? started : 0};
    }();
    return self;
}

bool processEnded(const ProcessIdentity& identity) {
    const WindowsHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, identity.pid));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // else there, but not ours to open
    bool known = false;
    if (creationTime(process.get(), known) != identity.started && known) return true;  // the pid was reused
    // Ended, though something still holds it open: it writes nothing more.
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE;
}
