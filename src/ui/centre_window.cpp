#include "ui/centre_window.h"

#include "ui/centring.h"

namespace {

ScreenRect toScreenRect(const RECT& r) {
    return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom)};
}

bool isShown(HWND window) {
    LONG style = GetWindowLongA(window, GWL_STYLE);
    return (style & WS_VISIBLE) != 0 && (style & WS_MINIMIZE) == 0;
}

}  // namespace

void centreWindow(HWND dialog, HWND centre) {
    RECT dialogRect{};
    GetWindowRect(dialog, &dialogRect);
    if (centre == nullptr) centre = GetWindow(dialog, GW_OWNER);
    if (centre != nullptr && !isShown(centre)) centre = nullptr;

    HMONITOR monitor = MonitorFromWindow(centre != nullptr ? centre : dialog, MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr) return;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info)) return;

    RECT centreRect{};
    ScreenRect reference{};
    const ScreenRect* referencePtr = nullptr;
    if (centre != nullptr) {
        GetWindowRect(centre, &centreRect);
        reference = toScreenRect(centreRect);
        referencePtr = &reference;
    }
    ScreenPoint at = centredPosition(toScreenRect(dialogRect), referencePtr, toScreenRect(info.rcWork));
    SetWindowPos(dialog, nullptr, at.x, at.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
