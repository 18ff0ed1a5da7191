#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <utility>

namespace driver {
namespace {

Script* g_script = nullptr;
std::string g_waitingFor;

BOOL CALLBACK collectDialog(HWND window, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { PostMessageW(window, message, wParam, lParam); }

BOOL CALLBACK endDialog(HWND window, LPARAM) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::string(cls) == "#32770") EndDialog(window, -2);
    return TRUE;
}

}  // namespace

Script::Script(std::vector<Step> steps) : steps_(std::move(steps)), since_(GetTickCount()) {
    g_script = this;
    timer_ = SetTimer(nullptr, 0, 10, &Script::onTimer);
}

Script::~Script() {
    KillTimer(nullptr, timer_);
    EXPECT_EQ(next_, steps_.size()) << "the dialog ended before step " << next_ + 1;
    g_script = nullptr;
}

// A timer procedure is called from USER32: nothing may leave it (on i686 an
// exception cannot unwind through USER32's frames).
void CALLBACK Script::onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_script == nullptr) return;
    try {
        g_script->tick();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "step " << g_script->next_ + 1 << " threw " << e.what();
        ++g_script->next_;
    }
}

void waitingFor(const std::string& what) { g_waitingFor = what; }

void Script::tick() {
    bool done = next_ == steps_.size();
    g_waitingFor = "an enabled, visible dialog of this thread";
    if (!done && activeDialog() != nullptr && steps_[next_]()) {
        ++next_;
        since_ = GetTickCount();
        return;
    }
    if (GetTickCount() - since_ > kPatienceMs) {
        if (done) {
            ADD_FAILURE() << "the dialog \"" << text(activeDialog()) << "\" is still open " << kPatienceMs
                          << " ms after the last step";
        } else {
            ADD_FAILURE() << "step " << next_ + 1 << " never ready in " << kPatienceMs << " ms: it waited for "
                          << g_waitingFor;
        }
        next_ = steps_.size();
        since_ = GetTickCount();
        EnumThreadWindows(GetCurrentThreadId(), endDialog, 0);
    }
}

HWND activeDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), collectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND control(int id) { return GetDlgItem(activeDialog(), id); }

std::string encode(const std::wstring& wide, UINT codePage) {
    std::string out(wide.size() * 3, '\0');
    out.resize(
        static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

std::string text(HWND window) {
    std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    wide.resize(static_cast<std::size_t>(GetWindowTextW(window, wide.data(), static_cast<int>(wide.size()))));
    return encode(wide);
}

Step click(int id) {
    return [id] {
        HWND target = control(id);
        EXPECT_NE(target, nullptr) << "no control " << id;
        RECT r{};
        GetClientRect(target, &r);
        LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
        post(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
        post(target, WM_LBUTTONUP, 0, at);
        return true;
    };
}

Step key(UINT vk) {
    return [vk] {
        HWND focus = GetFocus();
        post(focus, WM_KEYDOWN, vk, 1);
        post(focus, WM_KEYUP, vk, 0xC0000001);
        return true;
    };
}

Step type(const std::wstring& text) {
    return [text] {
        for (wchar_t c : text) post(GetFocus(), WM_CHAR, c, 1);
        return true;
    };
}

Step clear(int id) {
    return [id] {
        HWND edit = control(id);
        SetFocus(edit);  // what a click into the field does
        post(edit, WM_KEYDOWN, VK_END, 1);
        for (int i = GetWindowTextLengthW(edit); i > 0; --i) post(edit, WM_CHAR, VK_BACK, 1);
        return true;
    };
}

Step closeBox() {
    return [] {
        post(activeDialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    };
}

Step look(std::function<void(HWND dialog)> f) {
    return [f] {
        f(activeDialog());
        return true;
    };
}

Step waitFor(const std::string& caption) {
    return [caption] {
        const std::string shown = text(activeDialog());
        waitingFor("the dialog \"" + caption + "\" (the active one is \"" + shown + "\")");
        return shown == caption;
    };
}

Step messageBox(const std::string& expectedText, const std::string& expectedCaption, std::vector<int> buttons,
                int press) {
    return [expectedText, expectedCaption, buttons, press] {
        HWND box = activeDialog();
        waitingFor("the message box \"" + expectedText + "\" (the active dialog is \"" + text(box) + "\")");
        if (GetDlgItem(box, 0xFFFF) == nullptr) return false;  // not the box yet
        EXPECT_EQ(text(GetDlgItem(box, 0xFFFF)), expectedText);
        EXPECT_EQ(text(box), expectedCaption);
        std::vector<int> shown;
        bool icon = false;
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            char cls[16] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (std::string(cls) == "Button") shown.push_back(GetDlgCtrlID(child));
            if (std::string(cls) == "Static" && SendMessageW(child, STM_GETICON, 0, 0) != 0) icon = true;
        }
        EXPECT_EQ(shown, buttons);
        EXPECT_FALSE(icon);
        EXPECT_EQ(GetWindowLongW(GetDlgItem(box, buttons.front()), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        click(press)();
        return true;
    };
}

}  // namespace driver
