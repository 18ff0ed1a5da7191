// pixtagger-host edit under wine64 + Xvfb: a user opens the rule list from the
// host, adds a rule and closes; the rule file, missing before, then holds it.
// The host is another process, so its windows are found by caption and given
// the input messages a user's mouse and keyboard would send.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "system/program_location.h"
#include "temp_dir.h"
#include "ui/control_ids.h"

namespace {

// Bounds far beyond what a Wine process start and a dialog take under
// emulation on a loaded machine: each waits for a state, never for time.
constexpr DWORD kPatienceMs = 180000;

// The host's top-level window with this caption, once it is enabled.
HWND waitForWindow(const wchar_t* caption) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(20)) {
        HWND window = FindWindowW(L"#32770", caption);
        if (window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window)) return window;
    }
    return nullptr;
}

void clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// In a plain folder, one named in Japanese, and one whose name code page
// 932 cannot spell (the plug-in then gets the folder's 8.3 name).
TEST(HostEdit, ANewRuleReachesTheRuleFileWhenTheListCloses) {
    TempDir dir;
    for (const wchar_t* folder : {L"", L"規則", L"图"}) {
        const std::filesystem::path rules = dir.path() / folder / L"new rules.ini";  // not there yet
        std::filesystem::create_directories(rules.parent_path());
        std::wstring command = L"\"" + (programDirectory() / L"pixtagger-host.exe").wstring() + L"\" edit --config \"" +
                               rules.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(
            CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));

        HWND list = waitForWindow(L"プラグイン設定（pixtagger.dll）");
        ASSERT_NE(list, nullptr) << "the rule list did not open";
        clickButton(list, IDC_NEW);
        HWND editor = waitForWindow(L"項目設定");
        ASSERT_NE(editor, nullptr) << "the editor did not open";
        HWND name = GetDlgItem(editor, IDC_ATT_NAME);
        for (wchar_t c : std::wstring(L"大きい")) PostMessageW(name, WM_CHAR, c, 1);
        PostMessageW(name, WM_KEYDOWN, VK_RETURN, 1);
        ASSERT_EQ(waitForWindow(L"プラグイン設定（pixtagger.dll）"), list);
        clickButton(list, IDC_CLOSE);

        EXPECT_EQ(WaitForSingleObject(process.hProcess, kPatienceMs), WAIT_OBJECT_0) << "the host did not exit";
        DWORD status = 99;
        GetExitCodeProcess(process.hProcess, &status);
        EXPECT_EQ(status, 0u);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::ifstream file(rules, std::ios::binary);
        const std::string saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_NE(saved.find("num=1"), std::string::npos) << saved;
        EXPECT_NE(saved.find("_attName=\x91\xe5\x82\xab\x82\xa2"), std::string::npos) << saved;  // 大きい in CP932
    }
}

}  // namespace
