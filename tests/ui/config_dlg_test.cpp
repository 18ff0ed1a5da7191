// The rule list through the built DLL's acConfigDlg, as a host calls it, under
// wine64 + Xvfb and driven as a user would; running out of memory through the
// dialog class itself, whose allocations a test can make fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "conditions/condition_list.h"
#include "dialog_driver.h"
#include "dialog_template.h"
#include "pixtagger.h"
#include "plugin/plugin_library.h"
#include "temp_dir.h"
#include "ui/condition_text.h"
#include "ui/config_dlg.h"
#include "ui/control_ids.h"

namespace {

using namespace driver;

const std::string kCaption = "プラグイン設定（pixtagger.dll）";
const std::string kEditor = "項目設定";

// The plug-in as a host loads it, with a rule file of the test's making.
class ListDialog : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()) << lib.error(); }
    void TearDown() override {
        if (list != nullptr) lib.get<PFN_acReleaseConfig>("acReleaseConfig")(list);
    }

    // Rules r0, r1, …: type A, operator i % 5, threshold 100 i; `disabled`
    // rows start unchecked.
    void load(int count, std::vector<int> disabled = {}) {
        ConditionList rules;
        for (int i = 0; i < count; ++i) {
            Condition rule;
            rule._attName = "r" + std::to_string(i);
            rule._catName = "c";
            rule._cmbA = i % 5;
            rule._a = 100 * i;
            for (int d : disabled) rule._bEnable = rule._bEnable && d != i;
            rules.append(rule);
        }
        rules.save(path);
        fileBefore = readBytes(path);
        list = lib.get<PFN_acLoadConfig>("acLoadConfig")(path.c_str());
        ASSERT_NE(list, nullptr);
    }
    void run(HWND parent = nullptr) { lib.get<PFN_acConfigDlg>("acConfigDlg")(list, parent); }
    const ConditionList& rules() const { return *list; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Condition& rule : rules()) out.push_back(rule._attName);
        return out;
    }
    std::vector<bool> enabled() const {
        std::vector<bool> out;
        for (const Condition& rule : rules()) out.push_back(rule._bEnable);
        return out;
    }

    PluginLibrary lib{PIXTAGGER_LIBRARY_PATH};
    TempDir dir;
    std::string path = dir.file("rules.ini");
    std::string fileBefore;
    ConditionList* list = nullptr;
};

HWND listView() { return control(IDC_RULE_LIST); }
int rowCount() { return static_cast<int>(SendMessageW(listView(), LVM_GETITEMCOUNT, 0, 0)); }

std::string cell(int row, int column) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(listView(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return encode(buffer);
}

// Each row as "name category|condition" and its check box (2 checked, 1 not).
std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (int row = 0; row < rowCount(); ++row) out.push_back(cell(row, 0) + " " + cell(row, 1) + "|" + cell(row, 2));
    return out;
}
std::vector<int> checks() {
    std::vector<int> out;
    for (int row = 0; row < rowCount(); ++row)
        out.push_back(static_cast<int>(SendMessageW(listView(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) >> 12));
    return out;
}
std::vector<int> selected() {
    std::vector<int> out;
    for (int row = -1; (row = static_cast<int>(SendMessageW(listView(), LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
        out.push_back(row);
    return out;
}

enum class Mouse { Click, CtrlClick, DoubleClick };

// Ctrl as the dialog's thread will read it while it handles the input.
void holdControl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// The mouse on a list-view point.
void mouseAt(HWND window, POINT at, Mouse how) {
    holdControl(how == Mouse::CtrlClick);
    WPARAM flags = how == Mouse::CtrlClick ? MK_CONTROL : 0;
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(window, WM_LBUTTONDOWN, flags | MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, flags, where);
    if (how == Mouse::DoubleClick) {
        PostMessageW(window, WM_LBUTTONDBLCLK, flags | MK_LBUTTON, where);
        PostMessageW(window, WM_LBUTTONUP, flags, where);
    }
}

// A row's label, or the first point the list view's own hit test calls its check box.
POINT rowPoint(int row, bool checkBox) {
    RECT bounds{};
    bounds.left = checkBox ? LVIR_BOUNDS : LVIR_LABEL;
    SendMessageW(listView(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    POINT at{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    if (!checkBox) return at;
    int first = -1, last = -1;  // the check box's columns, by the list view's own hit test
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
        LVHITTESTINFO hit{};
        hit.pt = {x, at.y};
        if (SendMessageW(listView(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == row &&
            hit.flags == LVHT_ONITEMSTATEICON) {
            if (first < 0) first = x;
            last = x;
        }
    }
    EXPECT_GE(first, 0) << "no check box found in row " << row;
    return {(first + last) / 2, at.y};
}

Step onRow(int row, Mouse how = Mouse::Click) {
    return [=] { return mouseAt(listView(), rowPoint(row, false), how), true; };
}
Step onCheckBox(int row, Mouse how = Mouse::Click) {
    return [=] { return mouseAt(listView(), rowPoint(row, true), how), true; };
}
Step listKey(UINT vk) {
    return [vk] {
        holdControl(false);
        SetFocus(listView());
        PostMessageW(listView(), WM_KEYDOWN, vk, 1);
        if (vk == VK_SPACE) PostMessageW(listView(), WM_CHAR, L' ', 1);
        PostMessageW(listView(), WM_KEYUP, vk, 0xC0000001);
        return true;
    };
}
Step expectRows(std::vector<int> wantChecks, std::vector<int> wantSelected) {
    return look([=](HWND) {
        EXPECT_EQ(checks(), wantChecks);
        EXPECT_EQ(selected(), wantSelected);
        bool any = !wantSelected.empty();
        EXPECT_EQ(IsWindowEnabled(control(IDC_EDIT)) != FALSE, any);
        EXPECT_EQ(IsWindowEnabled(control(IDC_DELETE)) != FALSE, any);
    });
}
Step focusOnList() {
    return look([](HWND) { EXPECT_EQ(GetFocus(), listView()); });
}
Step stillOpen() {
    return look([](HWND dialog) { EXPECT_EQ(text(dialog), kCaption); });
}
// A new or edited rule: its attribute name typed over the old one.
std::vector<Step> editorAccepts(const std::wstring& name) {
    return {waitFor(kEditor),    [] { return SetWindowTextW(control(IDC_ATT_NAME), L""), true; },
            click(IDC_ATT_NAME), type(name),
            key(VK_RETURN),      waitFor(kCaption)};
}
std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Where the centring routine must have put the dialog.
void expectCentredOn(HWND dialog, const RECT* reference) {
    RECT r{};
    GetWindowRect(dialog, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& ref = reference != nullptr ? *reference : info.rcWork;
    LONG w = r.right - r.left, h = r.bottom - r.top;
    LONG x = std::max(info.rcWork.left, std::min((ref.left + ref.right) / 2 - w / 2, info.rcWork.right - w));
    LONG y = std::max(info.rcWork.top, std::min((ref.top + ref.bottom) / 2 - h / 2, info.rcWork.bottom - h));
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
}

TEST_F(ListDialog, AnEmptyListOpensCentredWithItsColumnsAndNewAddsACheckedRow) {
    load(0);
    Script script(
        std::vector<Step>{look([](HWND dialog) {
                              EXPECT_EQ(text(dialog), kCaption);
                              const char* heads[] = {"属性名称", "カテゴリ", "条件"};
                              const int widths[] = {100, 100, 250};
                              for (int i = 0; i < 3; ++i) {
                                  wchar_t buffer[32] = {};
                                  LVCOLUMNW column{};
                                  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
                                  column.pszText = buffer;
                                  column.cchTextMax = 32;
                                  ASSERT_TRUE(
                                      SendMessageW(listView(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
                                  EXPECT_EQ(encode(buffer), heads[i]);
                                  EXPECT_EQ(column.cx, widths[i]);
                                  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
                              }
                              EXPECT_EQ(SendMessageW(listView(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x24);
                              EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_CLOSE);
                              expectCentredOn(dialog, nullptr);
                          }),
                          expectRows({}, {}), click(IDC_NEW)} +
        editorAccepts(L"大きい") +
        std::vector<Step>{look([](HWND) { EXPECT_EQ(rows(), std::vector<std::string>{"大きい |面積 ＜ 999999999"}); }),
                          expectRows({2}, {}), focusOnList(), click(IDC_CLOSE)});
    run();
    ASSERT_EQ(rules().size(), 1u);
    EXPECT_EQ(rules()[0]._attName, "\x91\xe5\x82\xab\x82\xa2");
    EXPECT_TRUE(rules()[0]._bEnable);
    EXPECT_EQ(readBytes(path), fileBefore) << "the file changes only with acSaveConfig";
}

TEST_F(ListDialog, RowsShowTheRulesAndCloseWritesEveryCheckBox) {
    load(3, {1});
    Script script{
        look([](HWND) {
            EXPECT_EQ(rows(), (std::vector<std::string>{"r0 c|面積 ＜ 0", "r1 c|面積 ≦ 100", "r2 c|面積 ＝ 200"}));
        }),
        expectRows({2, 1, 2}, {}),
        onCheckBox(0),
        onCheckBox(1),
        expectRows({1, 2, 2}, {}),
        click(IDC_CLOSE),
    };
    run();
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(readBytes(path), fileBefore);
}

TEST_F(ListDialog, ACheckBoxOfASelectedRowSetsEverySelectedRow) {
    load(6);
    Script script{
        onRow(2),
        onRow(5, Mouse::CtrlClick),
        expectRows({2, 2, 2, 2, 2, 2}, {2, 5}),
        onCheckBox(2),
        expectRows({2, 2, 1, 2, 2, 1}, {2, 5}),  // both cleared
        onCheckBox(5, Mouse::CtrlClick),
        expectRows({2, 2, 1, 2, 2, 2}, {2, 5}),  // Ctrl: that row alone
        onCheckBox(0),
        expectRows({1, 2, 1, 2, 2, 2}, {2, 5}),  // unselected: that row alone
        onCheckBox(2, Mouse::CtrlClick),
        expectRows({1, 2, 2, 2, 2, 2}, {2, 5}),
        listKey(VK_SPACE),
        expectRows({1, 2, 1, 2, 2, 1}, {5}),  // the focused row 5, and row 2
        click(IDC_CLOSE),
    };
    run();
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, false, true, true, false}));
}

TEST_F(ListDialog, EditTakesTheLowestSelectedRowAndKeepsItsCheckBoxNewMayBeCancelled) {
    load(6, {2});
    Script script(std::vector<Step>{onRow(2), onRow(5, Mouse::CtrlClick), click(IDC_EDIT), waitFor(kEditor),
                                    look([](HWND) { EXPECT_EQ(text(control(IDC_ATT_NAME)), "r2"); })} +
                  editorAccepts(L"edited") +
                  std::vector<Step>{focusOnList(), click(IDC_NEW), waitFor(kEditor), key(VK_ESCAPE), waitFor(kCaption),
                                    focusOnList(), look([](HWND) {
                                        EXPECT_EQ(rowCount(), 6);
                                        EXPECT_EQ(cell(2, 0), "edited");
                                        EXPECT_EQ(cell(2, 2), "面積 ＝ 200");
                                    }),
                                    expectRows({2, 2, 1, 2, 2, 2}, {2, 5}), click(IDC_CLOSE)});
    run();
    EXPECT_EQ(names(), (std::vector<std::string>{"r0", "r1", "edited", "r3", "r4", "r5"}));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, true, true, true}));
}

TEST_F(ListDialog, DeleteAsksThenErasesTheLowestSelectedRowAndFollowsTheSelection) {
    load(7);
    const std::string question = "選択した条件を削除しますか？";
    Script script{
        onRow(2),
        onRow(5, Mouse::CtrlClick),
        click(IDC_DELETE),
        messageBox(question, "確認", {IDYES, IDNO}, IDNO),
        focusOnList(),
        look([](HWND) { EXPECT_EQ(rowCount(), 7); }),
        click(IDC_DELETE),
        messageBox(question, "確認", {IDYES, IDNO}, IDYES),
        focusOnList(),
        // Row 5 moved up to 4 and is still selected: Edit and Delete now act on it.
        expectRows({2, 2, 2, 2, 2, 2}, {4}),
        click(IDC_EDIT),
        waitFor(kEditor),
        look([](HWND) { EXPECT_EQ(text(control(IDC_ATT_NAME)), "r5"); }),
        key(VK_ESCAPE),
        waitFor(kCaption),
        click(IDC_DELETE),
        messageBox(question, "確認", {IDYES, IDNO}, IDYES),
        expectRows({2, 2, 2, 2, 2}, {}),
        click(IDC_CLOSE),
    };
    run();
    EXPECT_EQ(names(), (std::vector<std::string>{"r0", "r1", "r3", "r4", "r6"}));
}

TEST_F(ListDialog, OnlyTheButtonsEditAndOnlyCloseEnds) {
    load(3);
    Script script{
        key(VK_ESCAPE),
        stillOpen(),
        closeBox(),
        stillOpen(),
        onRow(1, Mouse::DoubleClick),
        stillOpen(),
        listKey(VK_DELETE),
        stillOpen(),
        [] {
            HWND header = reinterpret_cast<HWND>(SendMessageW(listView(), LVM_GETHEADER, 0, 0));
            RECT r{};
            SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
            return mouseAt(header, {(r.left + r.right) / 2, (r.top + r.bottom) / 2}, Mouse::Click), true;
        },
        look([](HWND) {
            EXPECT_EQ(rows(), (std::vector<std::string>{"r0 c|面積 ＜ 0", "r1 c|面積 ≦ 100", "r2 c|面積 ＝ 200"}));
        }),
        click(IDC_CLOSE),
    };
    run();
    EXPECT_EQ(names(), (std::vector<std::string>{"r0", "r1", "r2"}));
}

TEST_F(ListDialog, CentresOverItsParentWhichItDisables) {
    load(1);
    HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 40, 30, 500, 400, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    Script script{
        look([parent](HWND dialog) {
            RECT r{};
            GetWindowRect(parent, &r);
            expectCentredOn(dialog, &r);
            EXPECT_FALSE(IsWindowEnabled(parent));
        }),
        click(IDC_CLOSE),
    };
    run(parent);
    EXPECT_TRUE(IsWindowEnabled(parent));
    DestroyWindow(parent);
}

TEST_F(ListDialog, ANullListReturnsAtOnce) { lib.get<PFN_acConfigDlg>("acConfigDlg")(nullptr, nullptr); }

const std::vector<TemplateItem> kListItems = {
    {1034, "Button", "閉じる", 0x50010001, 280, 138, 44, 14}, {1030, "Button", "新規", 0x50010000, 7, 138, 38, 14},
    {1031, "Button", "編集", 0x58010000, 52, 138, 38, 14},    {1032, "Button", "削除", 0x58010000, 97, 138, 38, 14},
    {1033, "SysListView32", "", 0x50810801, 7, 7, 317, 121},
};

TEST(ListTemplate, ResourceAndLiveDialogFollowTheTable) {
    expectResourceTemplate(IDD_CONFIG, kCaption, kListItems);
    ConditionList rules;
    CConfigDlg dlg(&rules);
    Script script{liveChildren(kListItems), click(IDC_CLOSE)};
    EXPECT_EQ(dlg.runModal(), 0);
}

// Rows and rules of the dialog class: the same count, names and conditions.
void expectMirrored(const ConditionList& rules) {
    ASSERT_EQ(static_cast<std::size_t>(rowCount()), rules.size());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        for (int column : {0, 2}) {
            char buffer[256] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = buffer;
            item.cchTextMax = sizeof buffer;
            SendMessageA(listView(), LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_EQ(buffer, column == 0 ? rules[i]._attName : formatCondition(rules[i])) << "row " << i;
        }
    }
}

TEST(ListOutOfMemory, NewEditAndDeleteChangeRowsAndRulesTogetherOrNotAtAll) {
    ConditionList rules;
    for (int i = 0; i < 3; ++i) {
        Condition rule;
        rule._attName = "a rule name longer than a short string " + std::to_string(i);
        rules.append(rule);
    }
    CConfigDlg dlg(&rules);
    std::vector<Step> steps;
    // Each allocation in turn fails, from the editor's OK to the list's update.
    for (int n = 0; n < 8; ++n) {
        for (int command : {IDC_NEW, IDC_EDIT}) {
            steps = steps + std::vector<Step>{onRow(1),
                                              click(command),
                                              waitFor(kEditor),
                                              [] { return SetWindowTextW(control(IDC_ATT_NAME), L"x"), true; },
                                              click(IDC_CAT_NAME),
                                              type(L"a category longer than a short string"),
                                              [n] { return alloc_counter::failAfter(n), true; },
                                              key(VK_RETURN),
                                              [] {
                                                  alloc_counter::disarm();
                                                  if (text(activeDialog()) == kEditor) key(VK_ESCAPE)();
                                                  return true;
                                              },
                                              waitFor(kCaption),
                                              look([&rules](HWND) { expectMirrored(rules); })};
        }
    }
    // Delete allocates nothing of its own: a failure armed as Yes is clicked
    // finds nothing to fail until the check below disarms it.
    steps = steps + std::vector<Step>{onRow(0), click(IDC_DELETE),
                                      [] {
                                          HWND box = activeDialog();
                                          waitingFor("the question whether to delete");
                                          if (GetDlgItem(box, 0xFFFF) == nullptr) return false;
                                          // The test's own steps allocate: arm only after them.
                                          click(IDYES)();
                                          alloc_counter::failAfter(0);
                                          return true;
                                      },
                                      look([&rules](HWND) {
                                          alloc_counter::disarm();
                                          expectMirrored(rules);
                                      }),
                                      click(IDC_CLOSE)};
    Script script(steps);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_GT(rules.size(), 3u) << "some New went through once allocations succeeded";
}

}  // namespace
