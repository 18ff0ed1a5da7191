// acConfigDlg: the rule list dialog over the host's list, edited in place.
#include "pixtagger.h"
#include "ui/config_dlg.h"

extern "C" {

void PIXTAGGER_CALL acConfigDlg(ConditionList* list, HWND parent) {
    if (list == nullptr) return;
    CConfigDlg dialog(list);
    dialog.runModal(parent);  // no exception leaves the dialog; its result says nothing to the host
}

}  // extern "C"
