// A Win32 handle closed with its owner (CreateFileW's INVALID_HANDLE_VALUE
// and OpenProcess's null both read as none).
#pragma once

#include <windows.h>

#include <utility>

class WindowsHandle {
public:
    WindowsHandle() = default;
    explicit WindowsHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    WindowsHandle(WindowsHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    WindowsHandle& operator=(WindowsHandle&& other) noexcept {
        reset();
        handle_ = std::exchange(other.handle_, nullptr);
        return *this;
    }
    WindowsHandle(const WindowsHandle&) = delete;
    WindowsHandle& operator=(const WindowsHandle&) = delete;
    ~WindowsHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // False when CloseHandle reports an error (a write it could not finish).
    bool reset() { return handle_ == nullptr || CloseHandle(std::exchange(handle_, nullptr)) != 0; }

private:
    HANDLE handle_ = nullptr;
};
