#include "rules/rules_command.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "rules/rule_arguments.h"
#include "rules/rule_file_choice.h"
#include "rules/rule_file_copy.h"
#include "rules/rule_file_problems.h"
#include "rules/rule_listing.h"
#include "system/text_output.h"
#include "text/messages.h"
#include "text/path_text.h"

namespace fs = std::filesystem;

namespace {

using Action = RulesRequest::Action;

constexpr int kDone = 0;
constexpr int kProblems = 1;
constexpr int kBadUsage = 2;

void say(const std::string& text) {
    if (!text.empty()) writeProgramLine(stderr, text);
}

int fail(const std::string& reason) {
    say(reason);
    return kBadUsage;
}

RuleFileUse useOf(Action action) {
    switch (action) {
    case Action::List:
    case Action::Check: return RuleFileUse::Read;
    case Action::Add: return RuleFileUse::Create;
    default: return RuleFileUse::Change;
    }
}

int check(const fs::path& file) {
    std::string bytes;
    std::string error;
    if (!readRuleFile(file, bytes, error)) return fail(error);
    const RuleFileCheck result = checkRuleFile(bytes);
    const std::string named = pathText(file);
    for (const RuleFileProblem& problem : result.problems) writeText(stdout, problemText(named, problem) + "\n");
    if (result.problems.empty()) return kDone;
    const std::size_t count = result.problems.size();
    say(result.refusal ? trn("%s: %s problem; acLoadConfig refuses the file",
                             "%s: %s problems; acLoadConfig refuses the file", count, {named, std::to_string(count)})
                       : trn("%s: %s problem; acLoadConfig loads the file",
                             "%s: %s problems; acLoadConfig loads the file", count, {named, std::to_string(count)}));
    return kProblems;
}

int list(const RuleFileChoice& choice, bool json) {
    RuleFileCopy copy;
    std::string error;
    if (!copy.open(choice, false, error)) return fail(error);
    for (std::size_t i = 0; i < copy.rules().size(); ++i) {
        const Condition& rule = copy.rules()[i];
        writeText(stdout, (json ? ruleJson(i + 1, rule) : ruleLine(i + 1, rule)) + "\n");
    }
    return kDone;
}

// What a change command was given, before any file is read.
bool checkArguments(const RulesRequest& request, RuleChange& change, std::string& error) {
    const Action action = request.action;
    if (action != Action::Add && action != Action::Set) return true;
    if (!parseRuleArguments(request.rule, change, error)) return false;
    if (action == Action::Add && !change.attribute) {
        error = tr("rules add: an attribute name is required (--attribute NAME)");
    } else if (action == Action::Add && !change.area && !change.range) {
        error = tr("rules add: give the condition, --area 'OP N' or --range 'N OP area OP N'");
    } else if (action == Action::Set && !change.attribute && !change.category && !change.area && !change.range &&
               !change.disable) {
        error = tr("rules set: nothing to change: give --attribute, --category, --area, --range or --disabled");
    }
    return error.empty();
}

int change(const RulesRequest& request, const RuleChange& given, const RuleFileChoice& choice) {
    std::string error;
    const Action action = request.action;
    RuleFileCopy copy;
    if (!copy.open(choice, action == Action::Add, error)) return fail(error);
    const std::string named = pathText(choice.saveTo);
    ConditionList rules = copy.rules();
    std::size_t position = rules.size();
    if (action != Action::Add && !parseRuleNumber(request.ruleNumber, rules.size(), position, error))
        return fail(named + ": " + error);
    const Condition before = action == Action::Add ? Condition{} : rules[position];
    try {
        Condition rule = before;  // a new rule starts from the editor's fresh one
        given.applyTo(rule);
        switch (action) {
        case Action::Add: rules.append(rule); break;
        case Action::Set: rules.replace(position, rule); break;
        case Action::Remove: rules.erase(position); break;
        default: rules.setEnabled(position, action == Action::Enable);
        }
    } catch (const std::length_error&) {
        return fail(tr("%s: already holds the most rules the plug-in takes (%s)",
                       {named, std::to_string(ConditionList::kMaxSize)}));
    }
    bool written = false;
    if (!copy.save(rules, written, error)) return fail(error);
    writeText(stdout, ruleLine(position + 1, action == Action::Remove ? before : rules[position]) + "\n");
    if (!written) say(tr("%s: unchanged, the rule was so already", {named}));
    if (written && !copy.existed()) say(tr("made %s", {named}));
    return kDone;
}

}  // namespace

int runRules(const RulesRequest& request) {
    RuleChange given;
    std::string error;
    if (!checkArguments(request, given, error)) return fail(error);
    const RuleFileChoice choice = chooseRuleFile(request.config, useOf(request.action));
    if (!choice.error.empty()) return fail(choice.error);
    say(choice.note);
    try {
        switch (request.action) {
        case Action::List: return list(choice, request.json);
        case Action::Check: return check(choice.path);
        default: return change(request, given, choice);
        }
    } catch (const std::bad_alloc&) {
        // A file is only ever replaced whole, so no write is left half done.
        return fail(tr("%s: out of memory", {pathText(choice.path)}));
    }
}
