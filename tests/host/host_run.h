// The host suites' driver: pixtagger-host built beside the test program, run
// with arguments, its output, errors and exit status collected.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "temp_dir.h"

struct HostRun {
    int status = -1;
    std::string out;
    std::string err;
};

using HostEnvironment = std::vector<std::pair<std::string, std::string>>;

// Runs the host in `cwd` when given, under `launcher` (a command that runs
// its arguments, such as setpriv; POSIX) when given, and the copy at
// `program` instead of the built one when given. The arguments are UTF-8;
// Windows gets the command line in UTF-16, as a user's shell gives it.
// Every run has a user rule file of its own in `scratch` (XDG_CONFIG_HOME,
// or APPDATA on Windows), never the real user's, and speaks English
// (LANGUAGE=en); `environment` adds or replaces variables.
HostRun runHost(const std::vector<std::string>& args, const TempDir& scratch, const std::string& cwd = "",
                const std::string& launcher = "", const std::string& program = "",
                const HostEnvironment& environment = {});

// The user rule file the host uses in runs with `scratch`.
std::filesystem::path userRuleFile(const TempDir& scratch);

std::vector<std::string> linesOf(const std::string& text);
