// One rule for a test, built from a fresh rule's values: a suite sets only the
// fields its case is about, and every suite spells a rule the same way.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "conditions/condition.h"

class RuleBuilder {
public:
    explicit RuleBuilder(Condition start = Condition{}) : rule_(std::move(start)) {}

    // area op a (type 0).
    RuleBuilder& compare(std::int32_t op, std::int32_t a) {
        rule_._type = 0;
        rule_._cmbA = op;
        rule_._a = a;
        return *this;
    }
    // b1 lowOp area highOp b2 (type 1).
    RuleBuilder& range(std::int32_t lowOp, std::int32_t b1, std::int32_t highOp, std::int32_t b2) {
        rule_._type = 1;
        rule_._cmbB1 = lowOp;
        rule_._b1 = b1;
        rule_._cmbB2 = highOp;
        rule_._b2 = b2;
        return *this;
    }
    // Any type code, also those outside the enum; after compare or range.
    RuleBuilder& type(std::int32_t code) {
        rule_._type = code;
        return *this;
    }
    // Every integer key, in the order the rule file lists them.
    RuleBuilder& keys(std::int32_t type, std::int32_t a, std::int32_t b1, std::int32_t b2, std::int32_t cmbA,
                      std::int32_t cmbB1, std::int32_t cmbB2) {
        rule_._type = type;
        rule_._a = a;
        rule_._b1 = b1;
        rule_._b2 = b2;
        rule_._cmbA = cmbA;
        rule_._cmbB1 = cmbB1;
        rule_._cmbB2 = cmbB2;
        return *this;
    }
    RuleBuilder& names(std::string att, std::string cat) {
        rule_._attName = std::move(att);
        rule_._catName = std::move(cat);
        return *this;
    }
    RuleBuilder& enabled(bool on) {
        rule_._bEnable = on;
        return *this;
    }

    // Wherever a test wants a Condition: a list's append, a table, matches().
    operator Condition() const { return rule_; }  // NOLINT(google-explicit-constructor): the point of a builder

private:
    Condition rule_;
};
