// The rule editor (template 105): shows one rule, keeps the controls of the
// type not chosen disabled, and accepts the rule only with a valid attribute name.
#pragma once

#include "conditions/condition.h"
#include "ui/dialog_base.h"

class CEditConditionDlg : public DialogBase {
public:
    CEditConditionDlg();  // the default rule, for New
    explicit CEditConditionDlg(const Condition& rule);

    // The rule being edited. The caller takes it only after a run that
    // returned IDOK; other runs leave it changed but not accepted.
    Condition _condition;

private:
    bool processMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // Between _condition and the controls, in a fixed order; the first item
    // that fails beeps, takes the focus and ends the exchange with false.
    // Reading is all or nothing for memory: _condition is replaced only once
    // every text is copied.
    bool exchangeData(bool fromControls);

    INT_PTR onInitDialog();
    INT_PTR onOK();
    INT_PTR onCancel();
    INT_PTR onTypeClicked();

    void updateTypeControls();
    void enableTypeA(bool on);
    void enableTypeB(bool on);

    // The items of the exchange; each returns false when it failed.
    bool exchangeText(int id, std::string& field, bool fromControls);
    bool exchangeRadioGroup(int firstId, std::int32_t& field, bool fromControls);
    bool exchangeInt(int id, std::int32_t& field, bool fromControls);
    bool failItem(int id);
};
