// The command line of pixtagger-host.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct Options {
    enum class Command { Classify, Edit };
    Command command = Command::Classify;
    std::string config;  // empty: the shipped examples/rules.ini
    std::string plugin;  // empty: the library beside the program
    bool json = false;
    std::vector<std::string> paths;
};

extern const char* const kUsage;

// nullopt with a one-line reason in `error` for a command line that is not
// `classify [--config FILE] [--plugin PATH] [--json] PATH...` or
// `edit [--config FILE] [--plugin PATH]`.
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);
