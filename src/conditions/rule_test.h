// The area test of one rule: does an image of this many pixels satisfy it?
// Inline, because classification runs it once per rule per image.
#pragma once

#include <cstdint>

#include "conditions/condition.h"

namespace rule_test_detail {

// The relation of two numbers as one bit, so that each operator is a mask of
// the relations it accepts and the test needs no branch per operator code.
enum Relation : unsigned { kBelow = 1, kEqual = 2, kAbove = 4, kAny = 7 };

inline unsigned relation(std::int64_t value, std::int64_t reference) {
    return value < reference ? kBelow : value == reference ? kEqual : kAbove;
}

// Relation of the area to _a accepted by each type A operator, in CompareOp
// order. An unknown operator never matches.
inline constexpr unsigned kTypeA[5] = {kBelow, kBelow | kEqual, kEqual, kEqual | kAbove, kAbove};

// Relations of the area to a type B bound. Only "strict" and "inclusive"
// exist; any other code leaves that side of the range open.
inline unsigned lowerMask(std::int32_t op) { return op == 0 ? kAbove : op == 1 ? (kEqual | kAbove) : kAny; }
inline unsigned upperMask(std::int32_t op) { return op == 0 ? kBelow : op == 1 ? (kBelow | kEqual) : kAny; }

}  // namespace rule_test_detail

// The area is a 64-bit product, so images beyond 2^31 pixels are compared as
// they are instead of wrapping onto small thresholds.
inline bool matches(const Condition& rule, std::int64_t area) noexcept {
    using namespace rule_test_detail;
    if (rule._type == static_cast<std::int32_t>(ConditionType::A)) {
        const std::uint32_t op = static_cast<std::uint32_t>(rule._cmbA);
        return op < 5 && (kTypeA[op] & relation(area, rule._a)) != 0;
    }
    return (lowerMask(rule._cmbB1) & relation(area, rule._b1)) != 0 &&
           (upperMask(rule._cmbB2) & relation(area, rule._b2)) != 0;
}
