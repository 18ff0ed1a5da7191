#include "host_run.h"

#include <cstdio>
#include <filesystem>

#include "program_location.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

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

}  // namespace

// The host started directly, without a command interpreter: under emulation
// every Wine process costs seconds.
HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd,
                const std::string&, const std::string& program) {
    HostRun run;
    const std::filesystem::path host = program.empty() ? programDirectory() / "pixtagger-host.exe"
                                                       : std::filesystem::u8path(program);
    std::wstring command = argument(host.wstring());
    for (const std::string& arg : args) command += L" " + argument(std::filesystem::u8path(arg).wstring());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readOut = nullptr, writeOut = nullptr;
    if (!CreatePipe(&readOut, &writeOut, &inherit, 0)) return run;
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
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.empty() ? nullptr : folder.c_str(), &startup, &process);
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
    run.err = readBytes(errFile);
    // The Windows console functions may end lines with CR LF.
    for (std::string* text : {&run.out, &run.err}) {
        for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
    }
    return run;
}

#else
namespace {

std::string quoted(const std::string& arg) {
    return arg.find_first_of(" \n") == std::string::npos ? arg : "\"" + arg + "\"";
}

}  // namespace

HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd,
                const std::string& launcher, const std::string& program) {
    const std::string host = program.empty() ? (programDirectory() / "pixtagger-host").string() : program;
    std::string command = cwd.empty() ? "" : "cd " + quoted(cwd) + " && ";
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
