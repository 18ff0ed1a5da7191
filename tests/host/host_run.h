// The host suites' driver: pixtagger-host built beside the test program, run
// with arguments, its output, errors and exit status collected.
#pragma once

#include <string>
#include <vector>

#include "temp_dir.h"

struct HostRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the host in `cwd` when given, under `launcher` (a command that runs
// its arguments, such as setpriv; POSIX) when given, and the copy at
// `program` instead of the built one when given. The arguments are UTF-8;
// Windows gets the command line in UTF-16, as a user's shell gives it.
HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd = "",
                const std::string& launcher = "", const std::string& program = "");

std::vector<std::string> linesOf(const std::string& text);
