// pixtagger-host rules: list, check, add, set, remove, enable and disable
// the rules of a rule file, with the plug-in's own rule and rule-file code.
#pragma once

#include <filesystem>
#include <string>

#include "rules/rule_arguments.h"

// What the command line asked of the rules, in the rules' own terms.
struct RulesRequest {
    enum class Action { List, Check, Add, Set, Remove, Enable, Disable };
    Action action = Action::List;
    std::filesystem::path config;  // empty: the user's own rule file, else the shipped examples
    bool json = false;  // list: a JSON object per rule
    std::string ruleNumber;  // set, remove, enable, disable: as given
    RuleArguments rule;  // add, set
};

// The exit status: 0 done, 1 rules check found problems, 2 bad usage or a
// file that cannot be read or written, with a one-line reason on stderr.
int runRules(const RulesRequest& request);
