#include "ui/check_list_view.h"

namespace {

constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);
constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);

bool controlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

void CCheckListViewCtrl::attach(HWND listView) {
    window_ = listView;
    SetWindowLongPtrA(listView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(listView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CCheckListViewCtrl::windowProc)));
    send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
}

void CCheckListViewCtrl::detach() noexcept {
    if (window_ == nullptr) return;
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    window_ = nullptr;
}

int CCheckListViewCtrl::checkState(int row) const {
    return static_cast<int>(
        (send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
}

void CCheckListViewCtrl::setCheckState(int row, bool checked) const {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = checked ? kChecked : kUnchecked;
    send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void CCheckListViewCtrl::spreadToggle(int row) const {
    if ((send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) return;
    const bool checked = checkState(row) == 1;  // the state the row is about to take
    for (int other = -1;
         (other = static_cast<int>(send(LVM_GETNEXTITEM, static_cast<WPARAM>(other), LVNI_SELECTED))) >= 0;) {
        if (other != row) setCheckState(other, checked);
    }
}

LRESULT CALLBACK CCheckListViewCtrl::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing here allocates or throws: the procedure is called from USER32.
    auto* self = reinterpret_cast<CCheckListViewCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC original = self->original_;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!controlDown()) {
            LVHITTESTINFO hit{};
            hit.pt.x = static_cast<short>(LOWORD(lParam));
            hit.pt.y = static_cast<short>(HIWORD(lParam));
            int row = static_cast<int>(self->send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (row >= 0 && hit.flags == LVHT_ONITEMSTATEICON) self->spreadToggle(row);
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !controlDown()) {
            int row = static_cast<int>(self->send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
            if (row >= 0) self->spreadToggle(row);
        }
        break;
    case WM_NCDESTROY: self->detach(); break;
    default: break;
    }
    // The list view's own processing then toggles the row itself.
    return CallWindowProcA(original, window, message, wParam, lParam);
}
