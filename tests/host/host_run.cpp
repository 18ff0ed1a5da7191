#include "host_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "system/program_location.h"

#if defined(_WIN32)
#include <windows.h>

#include "system/windows_error.h"
#else
#include <sys/wait.h>
#endif

namespace {

// The variable that places the user's rule file, and its folder for a run.
#if defined(_WIN32)
constexpr const char* kConfigVariable = "APPDATA";
#else
constexpr const char* kConfigVariable = "XDG_CONFIG_HOME";
#endif

std::filesystem::path configFolder(const TempDir& scratch) { return scratch.path() / "user-config"; }

HostEnvironment isolated(const TempDir& scratch, const HostEnvironment& environment) {
    // English unless a test asks otherwise: the suites read its texts.
    HostEnvironment all{{kConfigVariable, configFolder(scratch).u8string()}, {"LANGUAGE", "en"}};
    for (const auto& variable : environment) {
        all.erase(std::remove_if(all.begin(), all.end(), [&](const auto& v) { return v.first == variable.first; }),
                  all.end());
        all.push_back(variable);
    }
    return all;
}

}  // namespace

std::filesystem::path userRuleFile(const TempDir& scratch) { return configFolder(scratch) / "pixtagger" / "rules.ini"; }

#if defined(_WIN32)
namespace {

// One argument as CommandLineToArgvW reads it back: quoted when it holds
// white space, with the backslashes before a quote doubled.
std::wstring argument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    return out.append(2 * slashes, L'\\') + L"\"";
}

// This process's environment with `variables` set, sorted as Windows keeps it.
std::wstring environmentBlock(const HostEnvironment& variables) {
    std::vector<std::wstring> entries;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* at = block; *at != L'\0'; at += wcslen(at) + 1) entries.emplace_back(at);
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : variables) {
        const std::wstring prefix = std::filesystem::u8path(name).wstring() + L"=";
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::wstring& e) {
                                         return _wcsnicmp(e.c_str(), prefix.c_str(), prefix.size()) == 0;
                                     }),
                      entries.end());
        entries.push_back(prefix + std::filesystem::u8path(value).wstring());
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::wstring& l, const std::wstring& r) { return _wcsicmp(l.c_str(), r.c_str()) < 0; });
    std::wstring out;
    for (const std::wstring& entry : entries) out.append(entry).push_back(L'\0');
    out.push_back(L'\0');
    return out;
}

}  // namespace

// The host started directly, without a command interpreter: under emulation
// every Wine process costs seconds.
HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd,
                const std::string&, const std::string& program, const HostEnvironment& environment) {
    HostRun run;
    const std::filesystem::path host = program.empty() ? programDirectory() / "pixtagger-host.exe"
                                                       : std::filesystem::u8path(program);
    std::wstring command = argument(host.wstring());
    for (const std::string& arg : args) command += L" " + argument(std::filesystem::u8path(arg).wstring());
    // Why the host gave no answer, for the failing test's message.
    const auto failed = [&run](const std::string& what, DWORD code) {
        run.err = "runHost: " + what + ": " + windowsErrorText(code) + " (error " + std::to_string(code) + ")\n";
        return run;
    };
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readOut = nullptr, writeOut = nullptr;
    if (!CreatePipe(&readOut, &writeOut, &inherit, 0)) return failed("cannot make a pipe", GetLastError());
    SetHandleInformation(readOut, HANDLE_FLAG_INHERIT, 0);
    const std::string errFile = scratch.file("stderr.txt");
    HANDLE err = CreateFileW(std::filesystem::u8path(errFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeOut;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring folder = std::filesystem::u8path(cwd).wstring();
    std::wstring variables = environmentBlock(isolated(scratch, environment));
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                        variables.data(), cwd.empty() ? nullptr : folder.c_str(), &startup, &process);
    const DWORD startError = GetLastError();
    CloseHandle(writeOut);  // the child's copy keeps the pipe open until it exits
    CloseHandle(err);
    if (started) {
        char buffer[4096];
        for (DWORD n; ReadFile(readOut, buffer, sizeof buffer, &n, nullptr) && n > 0;) run.out.append(buffer, n);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        run.status = static_cast<int>(status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readOut);
    if (!started) return failed("cannot start " + host.u8string(), startError);
    run.err = readBytes(errFile);
    // The Windows console functions may end lines with CR LF.
    for (std::string* text : {&run.out, &run.err}) {
        for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
    }
    // An exception's code (0xC0000005, an access violation), not a status the host chose.
    char code[40];
    std::snprintf(code, sizeof code, "runHost: the host ended by 0x%08lX\n", static_cast<unsigned long>(run.status));
    if (static_cast<DWORD>(run.status) >= 0xC0000000u) run.err += code;
    return run;
}

#else
namespace {

// Every byte as it is, a backslash and an empty argument too.
std::string quoted(const std::string& arg) {
    std::string out = "'";
    for (const char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd,
                const std::string& launcher, const std::string& program, const HostEnvironment& environment) {
    const std::string host = program.empty() ? (programDirectory() / "pixtagger-host").string() : program;
    std::string command = cwd.empty() ? "" : "cd " + quoted(cwd) + " && ";
    for (const auto& [name, value] : isolated(scratch, environment)) command += name + "=" + quoted(value) + " ";
    const std::string errFile = scratch.file("stderr.txt");
    command += (launcher.empty() ? "" : launcher + " ") + quoted(host);
    for (const std::string& arg : args) command += " " + quoted(arg);
    command += " 2> " + quoted(errFile);
    HostRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readBytes(errFile);
    return run;
}

#endif

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}
