#include <windows.h>

#include "system/read_only_file.h"
#include "system/windows_error.h"
#include "text/failure_reason.h"
#include "text/messages.h"

ReadOnlyFile::~ReadOnlyFile() {
    unmap();
    if (handle_ != nullptr) CloseHandle(handle_);
}

void ReadOnlyFile::fail(const char* what) const { error_ = failedWith(what, windowsErrorText(GetLastError())); }

bool ReadOnlyFile::open(const std::filesystem::path& path) {
    // Others may go on writing, renaming or deleting it, as on POSIX.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fail(N_("cannot open it"));
        return false;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {  // a pipe or a device would block a read
        CloseHandle(h);
        error_ = tr("not a file on a disk");
        return false;
    }
    handle_ = h;
    return true;
}

bool ReadOnlyFile::isOpen() const { return handle_ != nullptr; }

long ReadOnlyFile::readAt(std::int64_t offset, void* buffer, std::size_t count) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD n = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &n, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        fail(N_("cannot read it"));
        return -1;
    }
    return static_cast<long>(n);
}

long ReadOnlyFile::readAt(std::int64_t offset, void* first, std::size_t firstCount, void* second,
                          std::size_t secondCount) const {
    const long n = readAt(offset, first, firstCount);
    if (n < 0 || static_cast<std::size_t>(n) < firstCount) return n;
    const long more = readAt(offset + n, second, secondCount);
    return more < 0 ? -1 : n + more;
}

std::int64_t ReadOnlyFile::size() const {
    LARGE_INTEGER size;
    if (GetFileSizeEx(handle_, &size)) return size.QuadPart;
    fail(N_("cannot tell its size"));
    return -1;
}

const void* ReadOnlyFile::map(std::size_t length) {
    unmap();
    mapping_ = CreateFileMappingW(handle_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = mapping_ != nullptr ? MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, length) : nullptr;
    if (view == nullptr) {
        fail(N_("cannot map it"));
        unmap();
        return nullptr;
    }
    mapped_ = view;
    mappedLength_ = length;
    return view;
}

void ReadOnlyFile::unmap() {
    if (mapped_ != nullptr) UnmapViewOfFile(mapped_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
    mapped_ = nullptr;
    mapping_ = nullptr;
}
