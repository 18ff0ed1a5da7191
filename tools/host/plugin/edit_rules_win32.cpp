#include "edit_rules.h"
#include "text/messages.h"

#include <windows.h>
#include <commctrl.h>

bool canEditRules() { return true; }

namespace {

// Looked up here rather than imported: importing COMCTL32 would load it, and
// USER32 with it, at every start of every command (a third of a start under
// Wine) for the one command that shows a window.
bool registerCommonControls() {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const HMODULE controlsLibrary = LoadLibraryW(L"comctl32.dll");
    const auto init = controlsLibrary == nullptr ? nullptr
                                                 : reinterpret_cast<InitFunction>(reinterpret_cast<void*>(
                                                       GetProcAddress(controlsLibrary, "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    return init != nullptr && init(&controls);
}

}  // namespace

bool editRules(const PluginLibrary& library, ConditionList* list, const std::string& config, std::string& error) {
    if (!registerCommonControls()) {
        error = tr("cannot register the common controls the dialogs need");
        return false;
    }
    const auto configDlg = library.get<PFN_acConfigDlg>("acConfigDlg");
    const auto saveConfig = library.get<PFN_acSaveConfig>("acSaveConfig");
    if (configDlg == nullptr || saveConfig == nullptr) {
        error = tr("the plug-in has no export %s", {configDlg == nullptr ? "acConfigDlg" : "acSaveConfig"});
        return false;
    }
    configDlg(list, nullptr);
    saveConfig(list, config.c_str());
    return true;
}
