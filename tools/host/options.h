// The command line of pixtagger-host, parsed by CLI11 from UTF-8 arguments
// (Windows hands them over from UTF-16; elsewhere they are the bytes given).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "rules/rules_command.h"

struct Options {
    enum class Command { Classify, Edit, Version, Rules };
    Command command = Command::Classify;
    std::filesystem::path config;  // empty: the user's own rule file, else the shipped examples
    std::filesystem::path plugin;  // empty: the library beside the program
    bool json = false;
    bool followLinks = false;  // classify: walk into symbolic links to folders
    bool xmp = false;  // classify: update each image's XMP sidecar
    bool embed = false;  // classify: update the XMP inside each JPEG, TIFF, PNG and WebP file
    bool dryRun = false;  // with --xmp or --embed: say what would change, write nothing
    std::vector<std::filesystem::path> paths;
    RulesRequest rules;  // rules: the subcommand and its arguments (config and json above)
};

// The options of a command line (args[0] is the program), or nullopt when the
// program should end with `exitCode`: 0 after --help printed usage to stdout,
// 2 after a one-line reason on stderr.
std::optional<Options> parseOptions(const std::vector<std::string>& args, int& exitCode);

// A path named on the command line: UTF-8 on Windows, bytes elsewhere.
std::filesystem::path pathFromArgument(const std::string& arg);
