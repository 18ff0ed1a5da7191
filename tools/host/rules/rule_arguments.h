// What rules add and rules set are given, checked as the rule editor checks
// it and converted to the rule file's code page 932 before any file is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "conditions/condition.h"

struct RuleArguments {
    std::optional<std::string> attribute;  // UTF-8, as given
    std::optional<std::string> category;
    std::optional<std::string> area;  // "OP N"
    std::optional<std::string> range;  // "N OP area OP N"
    bool disabled = false;
};

// The fields a command sets; only those given change.
struct RuleChange {
    std::optional<std::string> attribute;  // CP932
    std::optional<std::string> category;
    struct Compare {
        std::int32_t op;
        std::int32_t value;
    };
    std::optional<Compare> area;
    struct Range {
        std::int32_t low, lowOp, highOp, high;
    };
    std::optional<Range> range;
    bool disable = false;

    void applyTo(Condition& rule) const;
};

// False with a one-line reason. Operators are < <= = >= > or the dialog's
// ＜ ≦ ＝ ≧ ＞, a range takes only the first two; numbers are 0 to
// 2147483647, the editor's (signed 32-bit) thresholds.
bool parseRuleArguments(const RuleArguments& given, RuleChange& change, std::string& error);

// The list position of rule `text` (numbered from 1) among `count` rules.
bool parseRuleNumber(const std::string& text, std::size_t count, std::size_t& position, std::string& error);
