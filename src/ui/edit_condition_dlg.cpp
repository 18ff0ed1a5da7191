#include "ui/edit_condition_dlg.h"

#include <string>
#include <utility>

#include "texts/cp932_texts.h"
#include "ui/attribute_name.h"
#include "ui/centre_window.h"
#include "ui/control_ids.h"

namespace {

constexpr LPARAM kSpinUpperLimit = 999999999;

}  // namespace

CEditConditionDlg::CEditConditionDlg() : DialogBase(IDD_EDIT_CONDITION) {}

CEditConditionDlg::CEditConditionDlg(const Condition& rule) : DialogBase(IDD_EDIT_CONDITION), _condition(rule) {}

bool CEditConditionDlg::processMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    using Entry = MessageMapEntry<CEditConditionDlg>;
    static constexpr Entry kMessageMap[] = {
        {WM_INITDIALOG, Entry::kAny, Entry::kAny, &CEditConditionDlg::onInitDialog},
        {WM_COMMAND, IDOK, Entry::kAny, &CEditConditionDlg::onOK},
        {WM_COMMAND, IDCANCEL, Entry::kAny, &CEditConditionDlg::onCancel},
        {WM_COMMAND, IDC_TYPE_A, BN_CLICKED, &CEditConditionDlg::onTypeClicked},
        {WM_COMMAND, IDC_TYPE_B, BN_CLICKED, &CEditConditionDlg::onTypeClicked},
    };
    return dispatchMessage(*this, kMessageMap, message, wParam, lParam, result);
}

bool CEditConditionDlg::exchangeData(bool fromControls) {
    if (!fromControls) {
        Condition& rule = _condition;
        return exchangeText(IDC_ATT_NAME, rule._attName, false) && exchangeText(IDC_CAT_NAME, rule._catName, false) &&
               exchangeRadioGroup(IDC_TYPE_A, rule._type, false) && exchangeInt(IDC_A, rule._a, false) &&
               exchangeInt(IDC_B1, rule._b1, false) && exchangeInt(IDC_B2, rule._b2, false);
    }
    Condition rule = _condition;
    bool ok = exchangeText(IDC_ATT_NAME, rule._attName, true) && exchangeText(IDC_CAT_NAME, rule._catName, true) &&
              exchangeRadioGroup(IDC_TYPE_A, rule._type, true) && exchangeInt(IDC_A, rule._a, true) &&
              exchangeInt(IDC_B1, rule._b1, true) && exchangeInt(IDC_B2, rule._b2, true);
    _condition = std::move(rule);
    return ok;
}

bool CEditConditionDlg::exchangeText(int id, std::string& field, bool fromControls) {
    HWND control = item(id);
    if (!fromControls) return SetDlgItemTextA(window(), id, field.c_str()) != 0 || failItem(id);
    int length = GetWindowTextLengthA(control);
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(control, buffer.data(), length + 1);
    if (copied < length) return failItem(id);
    field.assign(buffer.c_str());
    return true;
}

bool CEditConditionDlg::exchangeRadioGroup(int firstId, std::int32_t& field, bool fromControls) {
    if (fromControls) field = -1;
    std::int32_t number = 0;
    HWND first = item(firstId);
    for (HWND control = first; control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        if (control != first && (GetWindowLongA(control, GWL_STYLE) & WS_GROUP) != 0) break;
        if ((SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) == 0) continue;
        if (fromControls) {
            if (SendMessageA(control, BM_GETCHECK, 0, 0) != 0) field = number;
        } else {
            SendMessageA(control, BM_SETCHECK, number == field ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++number;
    }
    return true;
}

bool CEditConditionDlg::exchangeInt(int id, std::int32_t& field, bool fromControls) {
    if (!fromControls) return SetDlgItemInt(window(), id, static_cast<UINT>(field), TRUE) != 0 || failItem(id);
    BOOL translated = FALSE;
    field = static_cast<std::int32_t>(GetDlgItemInt(window(), id, &translated, TRUE));
    return translated || failItem(id);
}

bool CEditConditionDlg::failItem(int id) {
    MessageBeep(0xFFFFFFFF);
    SetFocus(item(id));
    return false;
}

INT_PTR CEditConditionDlg::onInitDialog() {
    for (int spin : {IDC_SPIN_A, IDC_SPIN_B1, IDC_SPIN_B2})
        SendMessageA(item(spin), UDM_SETRANGE32, 0, kSpinUpperLimit);
    // Unsorted lists, filled in operator order, so an item's index is its
    // operator code.
    const auto& symbols = pixtagger::texts::kCompareOpSymbols;
    const struct {
        int id;
        int count;
        std::int32_t selection;
    } lists[] = {
        {IDC_CMB_A, 5, _condition._cmbA},
        {IDC_CMB_B1, 2, _condition._cmbB1},
        {IDC_CMB_B2, 2, _condition._cmbB2},
    };
    for (const auto& list : lists) {
        for (int i = 0; i < list.count; ++i)
            SendMessageA(item(list.id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(symbols[i]));
        SendMessageA(item(list.id), CB_SETCURSEL, static_cast<WPARAM>(list.selection), 0);
    }
    exchangeData(false);
    updateTypeControls();
    centreWindow(window(), GetParent(window()));
    return TRUE;
}

INT_PTR CEditConditionDlg::onTypeClicked() {
    exchangeData(true);
    updateTypeControls();
    return 0;
}

INT_PTR CEditConditionDlg::onOK() {
    // A field that did not read (emptied, or beyond 32 bits) has beeped and
    // holds the focus; accepting now would store a silent 0 and stale fields.
    if (!exchangeData(true)) return 0;
    _condition._cmbA = static_cast<std::int32_t>(SendMessageA(item(IDC_CMB_A), CB_GETCURSEL, 0, 0));
    _condition._cmbB1 = static_cast<std::int32_t>(SendMessageA(item(IDC_CMB_B1), CB_GETCURSEL, 0, 0));
    _condition._cmbB2 = static_cast<std::int32_t>(SendMessageA(item(IDC_CMB_B2), CB_GETCURSEL, 0, 0));

    switch (checkAttributeName(_condition._attName.c_str())) {
    case AttributeNameFault::Empty:
        MessageBoxA(window(), pixtagger::texts::kEnterAttributeName, pixtagger::texts::kErrorCaption, MB_OK);
        return 0;
    case AttributeNameFault::Backslash:
        MessageBoxA(window(), pixtagger::texts::kNoBackslashInAttributeName, pixtagger::texts::kErrorCaption, MB_OK);
        return 0;
    case AttributeNameFault::None: break;
    }
    EndDialog(window(), IDOK);
    return 0;
}

INT_PTR CEditConditionDlg::onCancel() {
    EndDialog(window(), IDCANCEL);
    return 0;
}

void CEditConditionDlg::updateTypeControls() {
    enableTypeA(_condition._type == static_cast<std::int32_t>(ConditionType::A));
    enableTypeB(_condition._type == static_cast<std::int32_t>(ConditionType::B));
}

void CEditConditionDlg::enableTypeA(bool on) {
    for (int id : {IDC_AREA_A, IDC_CMB_A, IDC_A, IDC_SPIN_A}) EnableWindow(item(id), on);
}

void CEditConditionDlg::enableTypeB(bool on) {
    for (int id : {IDC_B1, IDC_CMB_B1, IDC_AREA_B, IDC_CMB_B2, IDC_B2, IDC_SPIN_B1, IDC_SPIN_B2})
        EnableWindow(item(id), on);
}
