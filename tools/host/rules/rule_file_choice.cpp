#include "rules/rule_file_choice.h"

#include <system_error>

#include "system/program_location.h"
#include "text/messages.h"
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
    return tr("%s: no such folder %s for the rule file", {pathText(file), pathText(folder)});
}

}  // namespace

RuleFileChoice chooseRuleFile(const fs::path& config, RuleFileUse use) {
    RuleFileChoice choice;
    const fs::path shipped = shippedRules();
    const bool writes = use != RuleFileUse::Read;
    if (!config.empty()) {
        if (writes && isShipped(config, shipped)) {
            choice.error =
                tr("%s: the shipped examples, which no command changes; give your own rule file (rules add "
                   "makes one)",
                   {pathText(config)});
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
    const std::string userText = user.empty() ? tr("no home folder for a rule file of your own")
                                              : tr("no rule file of your own (%s)", {pathText(user)});
    if (writes && user.empty()) {
        choice.error = tr("no --config given and %s", {userText});
    } else if (writes && !shipped.empty()) {
        // What rules list showed is where a change starts: the first one
        // makes the user's file of the shipped examples and the change.
        choice.path = shipped;
        choice.saveTo = user;
        choice.makeFolder = true;
        choice.note = tr("starting from the shipped examples %s; saving to your own rule file %s",
                         {pathText(shipped), pathText(user)});
    } else if (use == RuleFileUse::Change) {
        choice.error = tr("no --config given and %s; rules add makes it", {userText});
    } else if (writes) {
        choice.path = choice.saveTo = user;
        choice.makeFolder = true;
    } else if (shipped.empty()) {
        choice.error = tr("no --config given, %s and no shipped examples/rules.ini beside the program", {userText});
    } else {
        choice.path = shipped;
        choice.note = tr("using the shipped examples %s: %s", {pathText(shipped), userText});
    }
    return choice;
}
