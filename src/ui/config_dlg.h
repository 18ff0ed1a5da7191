// The rule list (template 101): one row per rule with its check box, and the
// buttons that add, edit and delete rules in the host's list in place.
#pragma once

#include <cstdint>

#include "conditions/condition_list.h"
#include "ui/check_list_view.h"
#include "ui/dialog_base.h"

class CConfigDlg : public DialogBase {
public:
    explicit CConfigDlg(ConditionList* conditions) noexcept;

    ConditionList* _conditions;  // the host's, not owned
    CCheckListViewCtrl _listView;
    // The lowest selected row as of the last item change, or -1.
    std::int32_t _selIndex = -1;

private:
    bool processMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    INT_PTR onInitDialog();
    INT_PTR onNew();
    INT_PTR onEdit();
    INT_PTR onDelete();
    INT_PTR onClose();
    INT_PTR onSelectionChanged();

    bool validSelection() const noexcept;
    // True while the rows go in at initialisation: each check box raises an
    // item change then, and answering each one would take quadratic time.
    bool filling_ = false;
    // Fills the three cells of a row; insert makes the row first, and false
    // means no row was added.
    bool showRule(int row, const Condition& rule, const std::string& conditionText, bool insert) const;
};
