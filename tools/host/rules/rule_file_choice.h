// Which rule file a command reads and where it writes: --config, else the
// user's own, else the shipped examples, which a change starts from and saves
// as the user's own file: no command writes them.
#pragma once

#include <filesystem>
#include <string>

enum class RuleFileUse {
    Read,  // classify, rules list, rules check
    Edit,  // edit: the file is made when missing
    Create,  // rules add: the file is made when missing
    Change,  // rules set, remove, enable, disable: a named file must exist
};

struct RuleFileChoice {
    std::filesystem::path path;  // the file the rules start from (it may be missing for Edit and Create)
    std::filesystem::path saveTo;  // where changes go: `path`, or the user's own file; empty for Read
    bool makeFolder = false;  // saveTo is the user's own file: a save makes its folder when missing
    std::string note;  // for stderr when the file is not the user's own, else empty
    std::string error;  // one line when no file fits; then the rest is empty
};

// A named file is refused for writing when its folder is missing: a mistyped
// name never makes folders.
RuleFileChoice chooseRuleFile(const std::filesystem::path& config, RuleFileUse use);

// $XDG_CONFIG_HOME/pixtagger/rules.ini (an absolute XDG_CONFIG_HOME only,
// else ~/.config/…) or %APPDATA%\pixtagger\rules.ini; empty without a home.
std::filesystem::path userRuleFile();

// The same as the help names it, unexpanded ("$XDG_CONFIG_HOME/…",
// "%APPDATA%\…"), so that a man page made from the help names no builder's home.
const char* userRuleFileWords();

// examples/rules.ini beside the program (the Windows package),
// share/pixtagger/rules.ini of an installed prefix, or the source tree's two
// folders up from a build folder; empty when none is there.
std::filesystem::path shippedRules();
