// Which rule file a command reads and where it writes: --config, else the
// user's own, else (reading only) the shipped examples, which no command writes.
#pragma once

#include <filesystem>
#include <string>

enum class RuleFileUse {
    Read,  // classify, rules list, rules check
    Edit,  // edit: may start from the shipped examples, saves to the user's file
    Create,  // rules add: the file is made when missing
    Change,  // rules set, remove, enable, disable: the file must exist
};

struct RuleFileChoice {
    std::filesystem::path path;  // the file to read (it may be missing for Edit and Create)
    std::filesystem::path saveTo;  // where changes go; empty for Read
    std::string note;  // for stderr when the file is not the user's own, else empty
    std::string error;  // one line when no file fits; then the rest is empty
};

RuleFileChoice chooseRuleFile(const std::filesystem::path& config, RuleFileUse use);

// $XDG_CONFIG_HOME/pixtagger/rules.ini (an absolute XDG_CONFIG_HOME only,
// else ~/.config/…) or %APPDATA%\pixtagger\rules.ini; empty without a home.
std::filesystem::path userRuleFile();

// examples/rules.ini beside the program (the Windows package),
// share/pixtagger/rules.ini of an installed prefix, or the source tree's two
// folders up from a build folder; empty when none is there.
std::filesystem::path shippedRules();
