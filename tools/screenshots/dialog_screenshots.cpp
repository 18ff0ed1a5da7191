// Pictures of the plug-in's two dialogs for the documentation: the rule list
// over a rule file with two rows selected, then the editor on the first of
// them. Run under wine64 + Xvfb by scripts/screenshots.sh, which turns the
// BMP files into PNGs.
// Usage: dialog_screenshots RULES.ini OUTPUT-FOLDER
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pixtagger.h"
#include "plugin/plugin_library.h"
#include "ui/control_ids.h"

namespace {

std::string g_out;
int g_step = 0;
int g_waited = 0;
bool g_failed = false;

// The window as the screen shows it, caption and frame included.
bool capture(HWND window, const std::string& path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof info, w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = (w * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * h);
    GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof info};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

void select(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// One step a tick, each after the last one's painting: a thread timer comes
// only when no input or paint is pending.
void CALLBACK step(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow();
    if (dialog == nullptr || !IsWindowVisible(dialog)) return;
    if (++g_waited < 20) return;  // let Xvfb draw what Wine sent
    g_waited = 0;
    switch (g_step++) {
    case 0:
        g_failed |= SendMessageW(GetDlgItem(dialog, IDC_RULE_LIST), LVM_GETITEMCOUNT, 0, 0) < 6;
        select(GetDlgItem(dialog, IDC_RULE_LIST), 5);
        select(GetDlgItem(dialog, IDC_RULE_LIST), 1);
        SetFocus(GetDlgItem(dialog, IDC_RULE_LIST));
        break;
    case 1:
        g_failed |= !capture(dialog, g_out + "\\list.bmp");
        PostMessageW(dialog, WM_COMMAND, IDC_EDIT, 0);
        break;
    case 2:
        g_failed |= GetDlgItem(dialog, IDC_ATT_NAME) == nullptr;  // the editor, not the list
        g_failed |= !capture(dialog, g_out + "\\editor.bmp");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        break;
    default: PostMessageW(dialog, WM_COMMAND, IDC_CLOSE, 0); break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialog_screenshots RULES.ini OUTPUT-FOLDER\n");
        return 2;
    }
    g_out = argv[2];
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    const PluginLibrary plugin("pixtagger.dll");
    if (!plugin.loaded()) {
        std::fprintf(stderr, "dialog_screenshots: cannot load pixtagger.dll: %s\n", plugin.error().c_str());
        return 1;
    }
    const auto load = plugin.get<PFN_acLoadConfig>("acLoadConfig");
    const auto show = plugin.get<PFN_acConfigDlg>("acConfigDlg");
    const auto release = plugin.get<PFN_acReleaseConfig>("acReleaseConfig");
    ConditionList* list = load(argv[1]);
    if (list == nullptr) {
        std::fprintf(stderr, "dialog_screenshots: %s: no rules\n", argv[1]);
        return 1;
    }
    UINT_PTR timer = SetTimer(nullptr, 0, 20, step);
    show(list, nullptr);
    KillTimer(nullptr, timer);
    release(list);
    if (g_failed || g_step < 3) {
        std::fprintf(stderr, "dialog_screenshots: the pictures could not be taken\n");
        return 1;
    }
    return 0;
}
