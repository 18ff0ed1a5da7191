#include "host_run.h"

#include <cstdio>
#include <filesystem>

#include "program_location.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

std::string quoted(const std::string& arg) {
    return arg.find_first_of(" \n") == std::string::npos ? arg : "\"" + arg + "\"";
}

}  // namespace

HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd,
                const std::string& launcher) {
#if defined(_WIN32)
    const std::string host = (programDirectory() / "pixtagger-host.exe").u8string();
    std::string command = cwd.empty() ? "" : "cd /d " + quoted(cwd) + " && ";
#else
    const std::string host = (programDirectory() / "pixtagger-host").string();
    std::string command = cwd.empty() ? "" : "cd " + quoted(cwd) + " && ";
#endif
    const std::string errFile = scratch.file("stderr.txt");
    command += (launcher.empty() ? "" : launcher + " ") + quoted(host);
    for (const std::string& arg : args) command += " " + quoted(arg);
    command += " 2> " + quoted(errFile);
    HostRun run;
#if defined(_WIN32)
    std::FILE* pipe = _wpopen(std::filesystem::u8path(command).c_str(), L"rb");
#else
    std::FILE* pipe = popen(command.c_str(), "r");
#endif
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
#if defined(_WIN32)
    run.status = _pclose(pipe);
#else
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.err = readBytes(errFile);
    // The Windows console functions may end lines with CR LF.
    for (std::string* text : {&run.out, &run.err}) {
        for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
    }
    return run;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}
