// pixtagger-host edit under wine64 + Xvfb: a user opens the rule list from the
// host, adds or deletes a rule and closes; the rule file then holds the list.
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

const wchar_t* const kListCaption = L"プラグイン設定（pixtagger.dll）";

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `pixtagger-host edit ARGUMENTS` started, its rule list driven by `use`
// (which gets the list once it shows), then closed; the host's exit status.
template <typename Use>
DWORD editWith(const std::wstring& arguments, Use use) {
    std::wstring command = L"\"" + (programDirectory() / L"pixtagger-host.exe").wstring() + L"\" edit " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "the host did not start: error " << GetLastError();
        return 99;
    }
    HWND list = waitForWindow(kListCaption);
    EXPECT_NE(list, nullptr) << "the rule list did not open";
    if (list != nullptr) {
        use(list);
        clickButton(list, IDC_CLOSE);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, kPatienceMs), WAIT_OBJECT_0) << "the host did not exit";
    DWORD status = 99;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// In a plain folder, one named in Japanese, and one whose name code page
// 932 cannot spell.
TEST(HostEdit, ANewRuleReachesTheRuleFileWhenTheListCloses) {
    TempDir dir;
    for (const wchar_t* folder : {L"", L"規則", L"图"}) {
        const std::filesystem::path rules = dir.path() / folder / L"new rules.ini";  // not there yet
        std::filesystem::create_directories(rules.parent_path());
        const DWORD status = editWith(L"--config \"" + rules.wstring() + L"\"", [](HWND list) {
            clickButton(list, IDC_NEW);
            HWND editor = waitForWindow(L"項目設定");
            ASSERT_NE(editor, nullptr) << "the editor did not open";
            HWND name = GetDlgItem(editor, IDC_ATT_NAME);
            for (wchar_t c : std::wstring(L"大きい")) PostMessageW(name, WM_CHAR, c, 1);
            PostMessageW(name, WM_KEYDOWN, VK_RETURN, 1);
            ASSERT_EQ(waitForWindow(kListCaption), list);
        });
        EXPECT_EQ(status, 0u);
        const std::string saved = bytesOf(rules);
        EXPECT_NE(saved.find("num=1"), std::string::npos) << saved;
        EXPECT_NE(saved.find("_attName=\x91\xe5\x82\xab\x82\xa2"), std::string::npos) << saved;  // 大きい in CP932
    }
}

// Saved as rules saves: a deletion leaves no section beyond the count. A
// user without a file of their own starts from the shipped rules, as rules
// list shows them, and gets their own folder made.
TEST(HostEdit, TheListSavesWhatItShowedAndNothingBeyond) {
    TempDir dir;
    const std::filesystem::path rules = dir.path() / L"rules.ini";
    std::ofstream(rules, std::ios::binary) << "[Conditions]\r\nnum=2\r\n[Condition0]\r\n_attName=a\r\n"
                                           << "[Condition1]\r\n_attName=b\r\n";
    const DWORD deleted = editWith(L"--config \"" + rules.wstring() + L"\"", [](HWND list) {
        PostMessageW(GetDlgItem(list, IDC_RULE_LIST), WM_KEYDOWN, VK_HOME, 1);  // selects the first row
        clickButton(list, IDC_DELETE);
        HWND question = waitForWindow(L"確認");
        ASSERT_NE(question, nullptr) << "Delete did not ask";
        clickButton(question, IDYES);
        ASSERT_EQ(waitForWindow(kListCaption), list);
    });
    EXPECT_EQ(deleted, 0u);
    const std::string saved = bytesOf(rules);
    EXPECT_NE(saved.find("num=1\r\n[Condition0]\r\n_attName=b\r\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("[Condition1]"), std::string::npos) << saved;

    const std::filesystem::path config = dir.path() / L"fresh";  // not there yet
    wchar_t previous[32768];
    const DWORD had = GetEnvironmentVariableW(L"APPDATA", previous, 32768);
    SetEnvironmentVariableW(L"APPDATA", config.c_str());
    EXPECT_EQ(editWith(L"", [](HWND) {}), 0u);
    SetEnvironmentVariableW(L"APPDATA", had > 0 ? previous : nullptr);
    const std::string shipped = bytesOf(config / L"pixtagger" / L"rules.ini");
    EXPECT_NE(shipped.find("num=7\r\n"), std::string::npos) << shipped;
    EXPECT_NE(shipped.find("_attName=VGA"), std::string::npos) << shipped;
}

}  // namespace
