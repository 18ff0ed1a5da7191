// A report list view with check boxes in which one click or Space sets the
// check box of every selected row alike: the rule list's control.
#pragma once

#include "platform/win32.h"

class CCheckListViewCtrl {
public:
    CCheckListViewCtrl() = default;
    ~CCheckListViewCtrl() { detach(); }
    CCheckListViewCtrl(const CCheckListViewCtrl&) = delete;
    CCheckListViewCtrl& operator=(const CCheckListViewCtrl&) = delete;

    // Subclasses the dialog's list view and sets its extended style (check
    // boxes, full-row selection). The subclass ends with the window.
    void attach(HWND listView);
    void detach() noexcept;
    HWND handle() const noexcept { return window_; }

    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) const {
        return SendMessageA(window_, message, wParam, lParam);
    }
    // The row's state-image index: 2 checked, 1 unchecked, 0 no check box.
    int checkState(int row) const;
    void setCheckState(int row, bool checked) const;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Before a click or Space toggles a selected row: every other selected
    // row takes the state that row is about to take.
    void spreadToggle(int row) const;

    HWND window_ = nullptr;
    WNDPROC original_ = nullptr;
};
