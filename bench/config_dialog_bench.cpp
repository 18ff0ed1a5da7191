// acConfigDlg under Win32: milliseconds from the call until the rule list has
// shown and painted its rows, for 1000 and 10000 rules. Needs a display (run
// under xvfb-run with wine64). Prints figures; asserts nothing.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"
#include "plugin/plugin_library.h"
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
    const PluginLibrary plugin("pixtagger.dll");
    if (!plugin.loaded()) {
        std::fprintf(stderr, "config_dialog_bench: cannot load pixtagger.dll: %s\n", plugin.error().c_str());
        return 1;
    }
    const auto load = plugin.get<PFN_acLoadConfig>("acLoadConfig");
    const auto show = plugin.get<PFN_acConfigDlg>("acConfigDlg");
    const auto release = plugin.get<PFN_acReleaseConfig>("acReleaseConfig");
    bench::ScratchDir dir;
    for (int n : {1000, 10000}) {
        const std::string path = dir.file("rules" + std::to_string(n) + ".ini");
        bench::writeRuleFile(path, static_cast<std::uint32_t>(n));
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
    return 0;
}
