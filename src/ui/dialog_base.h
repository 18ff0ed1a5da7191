// Our small modal dialog base: runs a template of the plug-in's own resources
// through DialogBoxParamA and hands each message to the dialog's message map.
#pragma once

#include <climits>
#include <cstddef>

#include "platform/win32.h"

class DialogBase {
public:
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog modally, owned by the thread's active window or by
    // owner. Returns the value given to EndDialog, or -1 when the dialog
    // could not be created.
    INT_PTR runModal() noexcept { return runModal(GetActiveWindow()); }
    INT_PTR runModal(HWND owner) noexcept;

    HWND window() const noexcept { return window_; }

protected:
    explicit DialogBase(int templateId) noexcept : templateId_(templateId) {}
    virtual ~DialogBase() = default;

    // The message map: true when the message was handled, with the dialog
    // procedure's answer in result. May throw; the base catches it.
    virtual bool processMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

    HWND item(int id) const noexcept { return GetDlgItem(window_, id); }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND window_ = nullptr;
};

// One row of a message map: the message, for WM_COMMAND the command id and
// notification code, for WM_NOTIFY the sender's id and code, and the handler.
template <class Dialog>
struct MessageMapEntry {
    static constexpr int kAny = INT_MIN;  // id or code not compared

    UINT message;
    int id;
    int code;
    INT_PTR (Dialog::*handler)();
};

// Runs the first entry that matches; false when none does.
template <class Dialog, std::size_t N>
bool dispatchMessage(Dialog& dialog, const MessageMapEntry<Dialog> (&map)[N], UINT message, WPARAM wParam,
                     LPARAM lParam, INT_PTR& result) {
    int id = MessageMapEntry<Dialog>::kAny;
    int code = MessageMapEntry<Dialog>::kAny;
    if (message == WM_COMMAND) {
        id = LOWORD(wParam);
        code = HIWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        id = static_cast<int>(header->idFrom);
        code = static_cast<int>(header->code);
    }
    for (const MessageMapEntry<Dialog>& entry : map) {
        if (entry.message != message) continue;
        if (entry.id != MessageMapEntry<Dialog>::kAny && entry.id != id) continue;
        if (entry.code != MessageMapEntry<Dialog>::kAny && entry.code != code) continue;
        result = (dialog.*entry.handler)();
        return true;
    }
    return false;
}
