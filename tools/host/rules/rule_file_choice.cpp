#include "rules/rule_file_choice.h"

#include <system_error>

#include "system/program_location.h"
#include "text/path_text.h"

namespace fs = std::filesystem;

fs::path shippedRules() {
    const fs::path here = programDirectory();
    for (const fs::path& candidate :
         {here / "examples" / "rules.ini", here / ".." / "share" / "pixtagger" / "rules.ini",
          here / ".." / "examples" / "rules.ini", here / ".." / ".." / "examples" / "rules.ini"}) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal();
    }
    return fs::path();
}

namespace {

bool isShipped(const fs::path& path, const fs::path& shipped) {
    std::error_code error;
    return !shipped.empty() && fs::equivalent(path, shipped, error);
}

// A folder in a path the user typed is there or the name is mistyped: no
// command makes one (only the user's own config folder, below).
std::string missingFolder(const fs::path& file) {
    std::error_code error;
    const fs::path folder = fs::absolute(file, error).parent_path();
    if (error || fs::is_directory(folder, error)) return std::string();
    return pathText(file) + ": no such folder " + pathText(folder) + " for the rule file";
}

}  // namespace

RuleFileChoice chooseRuleFile(const fs::path& config, RuleFileUse use) {
    RuleFileChoice choice;
    const fs::path shipped = shippedRules();
    const bool writes = use != RuleFileUse::Read;
    if (!config.empty()) {
        if (writes && isShipped(config, shipped)) {
            choice.error = pathText(config) + ": the shipped examples, which no command changes; " +
                           "give your own rule file (rules add makes one)";
            return choice;
        }
        if (writes) choice.error = missingFolder(config);
        if (!choice.error.empty()) return choice;
        choice.path = config;
        if (writes) choice.saveTo = config;
        return choice;
    }
    const fs::path user = userRuleFile();
    std::error_code error;
    if (!user.empty() && fs::exists(fs::symlink_status(user, error))) {
        choice.path = user;
        if (writes) choice.saveTo = user;
        return choice;
    }
    const std::string userText = user.empty() ? std::string("no home folder for a rule file of your own")
                                              : "no rule file of your own (" + pathText(user) + ")";
    if (writes && user.empty()) {
        choice.error = "no --config given and " + userText;
    } else if (writes && !shipped.empty()) {
        // What rules list showed is where a change starts: the first one
        // makes the user's file of the shipped examples and the change.
        choice.path = shipped;
        choice.saveTo = user;
        choice.makeFolder = true;
        choice.note = "starting from the shipped examples " + pathText(shipped) + "; saving to your own rule file " +
                      pathText(user);
    } else if (use == RuleFileUse::Change) {
        choice.error = "no --config given and " + userText + "; rules add makes it";
    } else if (writes) {
        choice.path = choice.saveTo = user;
        choice.makeFolder = true;
    } else if (shipped.empty()) {
        choice.error = "no --config given, " + userText + " and no shipped examples/rules.ini beside the program";
    } else {
        choice.path = shipped;
        choice.note = "using the shipped examples " + pathText(shipped) + ": " + userText;
    }
    return choice;
}
