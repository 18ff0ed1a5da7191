// acConfigDlg under Win32: milliseconds from the call until the rule list has
// shown and painted its rows, for 1000 and 10000 rules. Needs a display (run
// under xvfb-run with wine64). Prints figures; asserts nothing.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"
#include "ui/control_ids.h"

namespace {

std::chrono::steady_clock::time_point g_start;
double g_shownMs = -1;

// A thread timer fires only when no input or paint is pending, so its first
// tick with the dialog visible comes after the dialog's first paint.
void CALLBACK closeWhenShown(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow();
    if (dialog == nullptr || !IsWindowVisible(dialog) || g_shownMs >= 0) return;
    g_shownMs = bench::secondsSince(g_start) * 1000;
    PostMessageW(dialog, WM_COMMAND, IDC_CLOSE, 0);
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    HMODULE plugin = LoadLibraryA("pixtagger.dll");
    if (plugin == nullptr) {
        std::fprintf(stderr, "config_dialog_bench: cannot load pixtagger.dll\n");
        return 1;
    }
    auto load = reinterpret_cast<PFN_acLoadConfig>(reinterpret_cast<void*>(GetProcAddress(plugin, "acLoadConfig")));
    auto show = reinterpret_cast<PFN_acConfigDlg>(reinterpret_cast<void*>(GetProcAddress(plugin, "acConfigDlg")));
    auto release =
        reinterpret_cast<PFN_acReleaseConfig>(reinterpret_cast<void*>(GetProcAddress(plugin, "acReleaseConfig")));
    bench::ScratchDir dir;
    for (int n : {1000, 10000}) {
        // Written in one go: a save through the profile functions rewrites the
        // whole file for every key.
        std::string text = "[Conditions]\r\nnum=" + std::to_string(n) + "\r\n";
        for (int i = 0; i < n; ++i) {
            text += "[Condition" + std::to_string(i) + "]\r\n_bEnable=" + std::to_string(i % 3 != 0) +
                    "\r\n_attName=attribute " + std::to_string(i) + "\r\n_catName=Size\r\n_type=" +
                    std::to_string(i % 2) + "\r\n_a=" + std::to_string(i) +
                    "\r\n_b1=0\r\n_b2=999999999\r\n_cmbA=0\r\n_cmbB1=0\r\n_cmbB2=1\r\n";
        }
        const std::string path = dir.file("rules" + std::to_string(n) + ".ini");
        std::ofstream(path, std::ios::binary) << text;
        ConditionList* list = load(path.c_str());
        if (list == nullptr || list->size() != static_cast<std::size_t>(n)) {
            std::fprintf(stderr, "config_dialog_bench: the rule file did not load\n");
            return 1;
        }
        for (int round = 0; round < 3; ++round) {
            g_shownMs = -1;
            UINT_PTR timer = SetTimer(nullptr, 0, 1, closeWhenShown);
            g_start = std::chrono::steady_clock::now();
            show(list, nullptr);
            KillTimer(nullptr, timer);
            std::printf("acConfigDlg with %5d rules: shown after %7.1f ms\n", n, g_shownMs);
        }
        release(list);
    }
    FreeLibrary(plugin);
    return 0;
}
