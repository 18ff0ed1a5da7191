// The rule editor against the real dialog manager (wine64 + Xvfb), driven as a
// user would drive it, and its template as built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alloc_counter.h"
#include "dialog_driver.h"
#include "dialog_template.h"
#include "ui/control_ids.h"
#include "ui/edit_condition_dlg.h"

namespace {

using namespace driver;

std::string cp932(const std::wstring& text) { return encode(text, 932); }

bool checked(int id) { return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool enabled(int id) { return IsWindowEnabled(control(id)) != FALSE; }
int selection(int id) { return static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0)); }

const int kTypeAGroup[] = {IDC_AREA_A, IDC_CMB_A, IDC_A, IDC_SPIN_A};
const int kTypeBGroup[] = {IDC_B1, IDC_CMB_B1, IDC_AREA_B, IDC_CMB_B2, IDC_B2, IDC_SPIN_B1, IDC_SPIN_B2};

// Both groups as the user sees them.
Step groups(bool a, bool b) {
    return look([a, b](HWND) {
        for (int id : kTypeAGroup) EXPECT_EQ(enabled(id), a) << "control " << id;
        for (int id : kTypeBGroup) EXPECT_EQ(enabled(id), b) << "control " << id;
    });
}

Step focusOn(int id) {
    return look([id](HWND) { EXPECT_EQ(GetDlgCtrlID(GetFocus()), id); });
}

const std::string kEnterName = "属性名称を入力して下さい。";
const std::string kNoBackslash = "属性名称に \\ を含める事はできません。";
const std::string kError = "エラー";

TEST(EditorDialog, NewRuleOpensAsTypeAWithTheDefaultsAndEscapeCancels) {
    CEditConditionDlg dlg;
    Script script{
        look([](HWND dialog) {
            EXPECT_EQ(text(dialog), "項目設定");
            EXPECT_TRUE(checked(IDC_TYPE_A));
            EXPECT_FALSE(checked(IDC_TYPE_B));
            for (int id : {IDC_CMB_A, IDC_CMB_B1, IDC_CMB_B2}) EXPECT_EQ(text(control(id)), "＜") << id;
            EXPECT_EQ(SendMessageW(control(IDC_CMB_A), CB_GETCOUNT, 0, 0), 5);
            EXPECT_EQ(SendMessageW(control(IDC_CMB_B2), CB_GETCOUNT, 0, 0), 2);
            EXPECT_EQ(text(control(IDC_A)), "999999999");
            EXPECT_EQ(text(control(IDC_B1)), "0");
            EXPECT_EQ(text(control(IDC_B2)), "999999999");
            EXPECT_EQ(text(control(IDC_ATT_NAME)), "");
            EXPECT_EQ(text(control(IDC_CAT_NAME)), "");
            for (int spin : {IDC_SPIN_A, IDC_SPIN_B1, IDC_SPIN_B2}) {
                INT low = -1, high = -1;
                SendMessageW(control(spin), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                             reinterpret_cast<LPARAM>(&high));
                EXPECT_EQ(low, 0);
                EXPECT_EQ(high, 999999999);
            }
        }),
        groups(true, false),
        focusOn(IDC_ATT_NAME),
        key(VK_ESCAPE),
    };
    EXPECT_EQ(dlg.runModal(), IDCANCEL);
}

TEST(EditorDialog, RadioClicksSwitchTheGroupsAndTheCloseBoxCancels) {
    CEditConditionDlg dlg;
    Script script{click(IDC_TYPE_B),   groups(false, true), click(IDC_TYPE_A),
                  groups(true, false), click(IDC_TYPE_B),   closeBox()};
    EXPECT_EQ(dlg.runModal(), IDCANCEL);
}

TEST(EditorDialog, OkChecksTheAttributeNameAndStaysOpenOnAFault) {
    struct Case {
        std::wstring name;
        std::wstring category;
        const std::string* message;  // null: accepted
    } cases[] = {
        {L"", L"cat", &kEnterName},      {L"a\\b", L"", &kNoBackslash},
        {L"\\", L"", &kNoBackslash},     {L"表", L"", nullptr},  // 0x95 0x5C: the 0x5C is no backslash
        {L"ソ表\\", L"", &kNoBackslash},  // a backslash after two-byte characters
        {L"  ", L"x\\y", nullptr},  // blanks pass; the category is not checked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cp932(c.name));
        CEditConditionDlg dlg;
        if (c.message != nullptr) {
            Script script{click(IDC_CAT_NAME),   type(c.category), click(IDC_ATT_NAME),
                          type(c.name),          key(VK_RETURN),   messageBox(*c.message, kError),
                          focusOn(IDC_ATT_NAME), key(VK_ESCAPE)};
            EXPECT_EQ(dlg.runModal(), IDCANCEL);
        } else {
            Script script{click(IDC_CAT_NAME), type(c.category), click(IDC_ATT_NAME), type(c.name), key(VK_RETURN)};
            ASSERT_EQ(dlg.runModal(), IDOK);
            EXPECT_EQ(dlg._condition._attName, cp932(c.name));
            EXPECT_EQ(dlg._condition._catName, cp932(c.category));
        }
    }
}

TEST(EditorDialog, RangeRuleWithAChosenOperatorAndTheSignedMaximum) {
    CEditConditionDlg dlg;
    Script script{
        click(IDC_ATT_NAME), type(L"大"),         click(IDC_TYPE_B),
        clear(IDC_B2),       type(L"2147483647"), click(IDC_CMB_B1),
        key(VK_DOWN),        key(VK_RETURN),      look([](HWND) { EXPECT_EQ(text(control(IDC_CMB_B1)), "≦"); }),
        key(VK_RETURN)};
    ASSERT_EQ(dlg.runModal(), IDOK);
    Condition expected;
    expected._attName = cp932(L"大");
    expected._type = 1;
    expected._b2 = 2147483647;
    expected._cmbB1 = 1;
    EXPECT_EQ(dlg._condition, expected);
}

TEST(EditorDialog, ValuesOutsideTheListsAndTypesComeBackAsTheUserLeftThem) {
    Condition rule;
    rule._bEnable = false;
    rule._attName = "x";
    rule._type = 2;
    rule._cmbA = 7;
    rule._cmbB1 = 2;
    rule._a = -5;
    rule._b1 = -2147483647 - 1;
    CEditConditionDlg dlg(rule);
    Script script{
        look([](HWND) {
            EXPECT_FALSE(checked(IDC_TYPE_A));
            EXPECT_FALSE(checked(IDC_TYPE_B));
            EXPECT_EQ(selection(IDC_CMB_A), CB_ERR);
            EXPECT_EQ(selection(IDC_CMB_B1), CB_ERR);
            EXPECT_EQ(text(control(IDC_A)), "-5");
            EXPECT_EQ(text(control(IDC_B1)), "-2147483648");
        }),
        groups(false, false),
        key(VK_RETURN),
    };
    ASSERT_EQ(dlg.runModal(), IDOK);
    Condition expected = rule;
    expected._type = -1;
    expected._cmbA = -1;
    expected._cmbB1 = -1;
    EXPECT_EQ(dlg._condition, expected);
}

TEST(EditorDialog, AnEmptiedNumberTakesTheFocusAndOkKeepsTheEditorOpen) {
    CEditConditionDlg dlg;
    Script script{
        click(IDC_ATT_NAME),
        type(L"n"),
        clear(IDC_A),
        click(IDC_TYPE_A),
        focusOn(IDC_A),
        groups(true, false),  // the exchange stopped, the update still ran
        key(VK_RETURN),
        focusOn(IDC_A),
        look([](HWND dialog) { EXPECT_EQ(text(dialog), "項目設定") << "the editor has closed"; }),
        type(L"5"),
        key(VK_RETURN),
    };
    ASSERT_EQ(dlg.runModal(), IDOK);
    EXPECT_EQ(dlg._condition._a, 5);
}

TEST(EditorDialog, RunningOutOfMemoryInAHandlerKeepsTheRuleAndTheDialog) {
    // Texts too long for a short string, so that reading them allocates.
    const std::wstring name = L"a name longer than any short string";
    const std::wstring category = L"a category longer than any short string";
    CEditConditionDlg dlg;
    std::vector<Step> steps{click(IDC_CAT_NAME), type(category), click(IDC_ATT_NAME), type(name)};
    for (int n = 0; n < 4; ++n) {  // each allocation of OK's exchange in turn
        steps.push_back([n] { return alloc_counter::failAfter(n), true; });
        steps.push_back(key(VK_RETURN));
        steps.push_back(look([&dlg, n](HWND dialog) {
            alloc_counter::disarm();
            EXPECT_EQ(dlg._condition, Condition{}) << "allocation " << n;
            EXPECT_EQ(text(dialog), "項目設定");
        }));
    }
    steps.push_back(key(VK_RETURN));
    Script script(steps);
    ASSERT_EQ(dlg.runModal(), IDOK);
    EXPECT_EQ(dlg._condition._attName, cp932(name));
    EXPECT_EQ(dlg._condition._catName, cp932(category));
}

// A dialog whose template is not among the module's resources.
class MissingDialog : public DialogBase {
public:
    MissingDialog() : DialogBase(9999) {}
    bool processMessage(UINT, WPARAM, LPARAM, INT_PTR&) override { return false; }
};

TEST(DialogBase, ADialogThatCannotBeCreatedAnswersMinusOne) { EXPECT_EQ(MissingDialog().runModal(), -1); }

// Template 105 as the Japanese resource holds it, and the live dialog made from it.
const std::vector<TemplateItem> kEditorItems = {
    {-1, "Static", "属性名称", 0x50020200, 9, 7, 33, 12},
    {1028, "Edit", "", 0x50810080, 51, 7, 73, 12},
    {-1, "Static", "カテゴリ", 0x50020200, 137, 7, 23, 12},
    {1035, "Edit", "", 0x50810080, 167, 7, 73, 12},
    {-1, "Button", "条件設定", 0x50000007, 7, 26, 233, 59},
    {1022, "Button", "A：", 0x50020009, 16, 43, 25, 12},
    {1021, "Button", "B：", 0x50000009, 16, 60, 24, 12},
    {1036, "Static", "面積", 0x50020200, 46, 43, 17, 12},
    {1009, "ComboBox", "", 0x50210003, 67, 43, 25, 81},
    {1012, "Edit", "", 0x50812082, 98, 43, 52, 12},
    {1029, "msctls_updown32", "", 0x500000B6, 183, 34, 8, 10},
    {1013, "Edit", "", 0x50812082, 46, 60, 52, 12},
    {1030, "msctls_updown32", "", 0x500000B6, 200, 34, 11, 10},
    {1010, "ComboBox", "", 0x50210003, 102, 60, 25, 81},
    {1037, "Static", "面積", 0x50020200, 132, 60, 17, 12},
    {1011, "ComboBox", "", 0x50210003, 152, 60, 25, 81},
    {1014, "Edit", "", 0x50812082, 180, 60, 52, 12},
    {1031, "msctls_updown32", "", 0x500000B6, 219, 34, 11, 10},
    {1, "Button", "OK", 0x50010001, 134, 100, 50, 14},
    {2, "Button", "キャンセル", 0x50010000, 190, 100, 50, 14},
};

TEST(EditorTemplate, ResourceAndLiveDialogFollowTheTable) {
    expectResourceTemplate(IDD_EDIT_CONDITION, "項目設定", kEditorItems);
    CEditConditionDlg dlg;
    Script script{liveChildren(kEditorItems), key(VK_ESCAPE)};
    dlg.runModal();
}

}  // namespace
