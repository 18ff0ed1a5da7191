#include "edit_rules.h"

#include <windows.h>
#include <commctrl.h>

bool canEditRules() { return true; }

bool editRules(const PluginLibrary& library, ConditionList* list, const std::string& config, std::string& error) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    if (!InitCommonControlsEx(&controls)) {
        error = "cannot register the common controls the dialogs need";
        return false;
    }
    const auto configDlg = library.get<PFN_acConfigDlg>("acConfigDlg");
    const auto saveConfig = library.get<PFN_acSaveConfig>("acSaveConfig");
    if (configDlg == nullptr || saveConfig == nullptr) {
        error = std::string("the plug-in has no export ") + (configDlg == nullptr ? "acConfigDlg" : "acSaveConfig");
        return false;
    }
    configDlg(list, nullptr);
    saveConfig(list, config.c_str());
    return true;
}
