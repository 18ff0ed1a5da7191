#include "ui/config_dlg.h"

#include <new>
#include <string>
#include <utility>

#include "texts/cp932_texts.h"
#include "ui/centre_window.h"
#include "ui/condition_text.h"
#include "ui/control_ids.h"
#include "ui/edit_condition_dlg.h"

namespace {

// Keeps a window from redrawing while many rows go in: the list view repaints
// after every insertion otherwise, which makes thousands of rows slow.
class RedrawPause {
public:
    explicit RedrawPause(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPause() {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    HWND window_;
};

}  // namespace

CConfigDlg::CConfigDlg(ConditionList* conditions) noexcept : DialogBase(IDD_CONFIG), _conditions(conditions) {}

bool CConfigDlg::processMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    // No entry for IDOK or IDCANCEL: Escape and the close box leave the list
    // open, and only Close ends it.
    using Entry = MessageMapEntry<CConfigDlg>;
    static constexpr Entry kMessageMap[] = {
        {WM_INITDIALOG, Entry::kAny, Entry::kAny, &CConfigDlg::onInitDialog},
        {WM_COMMAND, IDC_NEW, Entry::kAny, &CConfigDlg::onNew},
        {WM_COMMAND, IDC_EDIT, Entry::kAny, &CConfigDlg::onEdit},
        {WM_COMMAND, IDC_DELETE, Entry::kAny, &CConfigDlg::onDelete},
        {WM_COMMAND, IDC_CLOSE, Entry::kAny, &CConfigDlg::onClose},
        {WM_NOTIFY, IDC_RULE_LIST, static_cast<int>(LVN_ITEMCHANGED), &CConfigDlg::onSelectionChanged},
    };
    return dispatchMessage(*this, kMessageMap, message, wParam, lParam, result);
}

bool CConfigDlg::showRule(int row, const Condition& rule, const std::string& conditionText, bool insert) const {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    const char* texts[] = {rule._attName.c_str(), rule._catName.c_str(), conditionText.c_str()};
    for (int column = 0; column < 3; ++column) {
        item.iSubItem = column;
        item.pszText = const_cast<char*>(texts[column]);
        if (!insert || column > 0) {
            _listView.send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            continue;
        }
        const LRESULT at = _listView.send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (at == row) continue;
        if (at >= 0) _listView.send(LVM_DELETEITEM, static_cast<WPARAM>(at), 0);  // not where the rule goes
        return false;
    }
    return true;
}

INT_PTR CConfigDlg::onInitDialog() {
    _listView.attach(item(IDC_RULE_LIST));
    namespace texts = pixtagger::texts;
    const struct {
        const char* head;
        int width;
    } columns[] = {{texts::kColumnAttribute, 100}, {texts::kColumnCategory, 100}, {texts::kColumnCondition, 250}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].head);
        _listView.send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    {
        RedrawPause pause(_listView.handle());
        filling_ = true;
        const ConditionList& rules = *_conditions;
        for (std::size_t i = 0; i < rules.size(); ++i) {
            int row = static_cast<int>(i);
            // Rows must mirror the rules one to one; a row that cannot be
            // made ends the dialog as if it had not opened (the base turns
            // the exception into -1).
            if (!showRule(row, rules[i], formatCondition(rules[i]), true)) throw std::bad_alloc();
            _listView.setCheckState(row, rules[i]._bEnable);
        }
        filling_ = false;
        onSelectionChanged();  // no row is selected yet: Edit and Delete stay disabled
    }
    centreWindow(window(), GetParent(window()));
    return TRUE;
}

bool CConfigDlg::validSelection() const noexcept {
    return _selIndex >= 0 && static_cast<std::size_t>(_selIndex) < _conditions->size();
}

INT_PTR CConfigDlg::onSelectionChanged() {
    if (filling_) return 0;
    _selIndex = static_cast<std::int32_t>(_listView.send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EnableWindow(item(IDC_EDIT), _selIndex >= 0);
    EnableWindow(item(IDC_DELETE), _selIndex >= 0);
    return 0;
}

INT_PTR CConfigDlg::onNew() {
    CEditConditionDlg editor;
    if (editor.runModal() == IDOK) {
        // Everything that can run out of memory comes first, so that the
        // rows and the rules change together or not at all.
        std::string conditionText = formatCondition(editor._condition);
        _conditions->reserve(_conditions->size() + 1);
        int row = static_cast<int>(_conditions->size());
        if (showRule(row, editor._condition, conditionText, true)) {
            _listView.setCheckState(row, true);  // a new rule starts enabled
            _conditions->append(std::move(editor._condition));
        }
    }
    SetFocus(_listView.handle());
    return 0;
}

INT_PTR CConfigDlg::onEdit() {
    if (!validSelection()) return 0;
    const std::size_t index = static_cast<std::size_t>(_selIndex);
    CEditConditionDlg editor((*_conditions)[index]);
    if (editor.runModal() == IDOK) {
        std::string conditionText = formatCondition(editor._condition);
        // The check box stays as the user left it; Close writes it into the rule.
        showRule(static_cast<int>(index), editor._condition, conditionText, false);
        _conditions->replace(index, std::move(editor._condition));
    }
    SetFocus(_listView.handle());
    return 0;
}

INT_PTR CConfigDlg::onDelete() {
    if (!validSelection()) return 0;
    namespace texts = pixtagger::texts;
    if (MessageBoxA(window(), texts::kConfirmDelete, texts::kConfirmCaption, MB_YESNO) == IDYES) {
        const std::size_t index = static_cast<std::size_t>(_selIndex);
        _conditions->erase(index);
        _listView.send(LVM_DELETEITEM, index, 0);
        // The list view cleared the row's selection while it was still there,
        // so the last notification named a row that has since moved up: take
        // the selection as it is now.
        onSelectionChanged();
    }
    SetFocus(_listView.handle());
    return 0;
}

INT_PTR CConfigDlg::onClose() {
    const int rows = static_cast<int>(_listView.send(LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows && static_cast<std::size_t>(row) < _conditions->size(); ++row) {
        // Only an explicit unchecked box disables; a row without one stays enabled.
        _conditions->setEnabled(static_cast<std::size_t>(row), _listView.checkState(row) != 1);
    }
    EndDialog(window(), 0);
    return 0;
}
