#include "ui/condition_text.h"

#include <cstddef>
#include <cstdio>

#include "texts/cp932_texts.h"

namespace {

// A range takes only the first two operators.
const char* symbol(std::int32_t op, std::int32_t count) {
    return op >= 0 && op < count ? pixtagger::texts::kCompareOpSymbols[op] : "";
}

}  // namespace

std::string formatCondition(const Condition& rule) {
    namespace texts = pixtagger::texts;
    // Two numbers of at most 11 characters and two symbols of two bytes.
    constexpr std::size_t kNumber = 11;
    constexpr std::size_t kSymbol = 2;
    char text[sizeof texts::kConditionFormatB + 2 * kNumber + 2 * kSymbol];
    if (rule._type == static_cast<std::int32_t>(ConditionType::A)) {
        std::snprintf(text, sizeof text, texts::kConditionFormatA, symbol(rule._cmbA, 5), static_cast<int>(rule._a));
    } else {
        std::snprintf(text, sizeof text, texts::kConditionFormatB, static_cast<int>(rule._b1), symbol(rule._cmbB1, 2),
                      symbol(rule._cmbB2, 2), static_cast<int>(rule._b2));
    }
    return text;
}
