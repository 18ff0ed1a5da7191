// Drives our modal dialogs as a user would, from inside their own message
// loop: a thread timer plays scripted steps on the dialog's thread, each
// posting the input messages a mouse or keyboard produces, or looking at what
// the user sees. Shared by every dialog scenario.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace driver {

// A step returns false while it is not ready to run (tried again next tick).
using Step = std::function<bool()>;

// Plays the steps while the dialog runs; a step that stays unready for
// kPatienceMs, or a dialog still open that long after the last step, fails
// the test, saying what the step waited for, and ends every dialog of the
// thread with -2. The bound is far beyond what a step takes under emulation
// on a loaded machine: a step waits for the state it needs, never for time.
constexpr DWORD kPatienceMs = 180000;

// What the step being tried waits for; a step that can be unready says so
// each time it returns false (waitFor and messageBox do).
void waitingFor(const std::string& what);

class Script {
public:
    Script(std::initializer_list<Step> steps) : Script(std::vector<Step>(steps)) {}
    explicit Script(std::vector<Step> steps);
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    DWORD since_;
    UINT_PTR timer_;
};

// The enabled, visible dialog of this thread: the innermost modal one.
HWND activeDialog();
HWND control(int id);  // of the active dialog
std::string text(HWND window);  // as UTF-8
// Wide text in a code page: CP_UTF8 to compare with this file's literals,
// 932 for the bytes the plug-in keeps.
std::string encode(const std::wstring& wide, UINT codePage = CP_UTF8);

// Input, to the active dialog.
Step click(int id);  // left button down and up at the control's centre
Step key(UINT vk);  // pressed and released on the focused control
Step type(const std::wstring& text);  // characters to the focused control
Step clear(int id);  // click into an edit, End, then backspace its text away
Step closeBox();  // the caption's close box
// Runs f on the active dialog; f checks with EXPECT_… what the user sees.
Step look(std::function<void(HWND dialog)> f);
// Waits until the active dialog has this caption.
Step waitFor(const std::string& caption);
// Expects a message box with this text and caption, no icon, and exactly
// these buttons (ids, the first one the default), then clicks `press`.
Step messageBox(const std::string& text, const std::string& caption, std::vector<int> buttons = {IDOK},
                int press = IDOK);

}  // namespace driver
