// rules check: every fault of a rule file with its line, read as the plug-in
// reads it (Win32 profile semantics, boost::lexical_cast integers): what makes
// acLoadConfig refuse the file, and what loads but was surely not meant.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RuleFileProblem {
    std::size_t line = 0;  // from 1
    std::string where;  // "[Condition1] _a=12abc" or "[Condition3]", spelled as in the file (CP932)
    std::string reason;  // English
};

struct RuleFileCheck {
    std::vector<RuleFileProblem> problems;  // in line order
    // The fault at which acLoadConfig stops (it reads the count, then each
    // rule's keys in order); nullopt when it loads the file.
    std::optional<RuleFileProblem> refusal;
};

RuleFileCheck checkRuleFile(std::string_view bytes);

// "FILE:LINE: where: reason" in UTF-8.
std::string problemText(const std::string& file, const RuleFileProblem& problem);
