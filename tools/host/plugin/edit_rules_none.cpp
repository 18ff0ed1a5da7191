#include "edit_rules.h"
#include "text/messages.h"

// No window system here: the plug-in's acConfigDlg returns at once.
bool canEditRules() { return false; }

bool editRules(const PluginLibrary&, ConditionList*, const std::string&, std::string& error) {
    error = tr("editing the rules needs Windows: the plug-in's rule dialogs are Win32 dialogs");
    return false;
}
