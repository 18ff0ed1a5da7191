// The rule list's condition column, compared as UTF-8 after conversion from
// the CP932 bytes the list view is given.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "rule_builder.h"
#include "ui/condition_text.h"

namespace {

// Only the characters these texts use: ASCII and the five symbols and 面積.
std::string toUtf8(const std::string& cp932) {
    static const struct {
        const char* cp932;
        const char* utf8;
    } kTable[] = {{"\x81\x83", "＜"}, {"\x81\x85", "≦"},  {"\x81\x81", "＝"}, {"\x81\x86", "≧"},
                  {"\x81\x84", "＞"}, {"\x96\xca", "面"}, {"\x90\xcf", "積"}};
    std::string out;
    for (std::size_t i = 0; i < cp932.size();) {
        if (static_cast<unsigned char>(cp932[i]) < 0x80) {
            out += cp932[i++];
            continue;
        }
        std::string pair = cp932.substr(i, 2);
        std::string found = "?";
        for (const auto& entry : kTable)
            if (pair == entry.cp932) found = entry.utf8;
        out += found;
        i += 2;
    }
    return out;
}

TEST(ConditionText, EachTypeWithItsSymbolsNumbersAndEmptySymbols) {
    const struct {
        Condition rule;
        const char* text;
    } cases[] = {
        {RuleBuilder().keys(0, 1000000, 0, 0, 3, 0, 0), "面積 ≧ 1000000"},
        {Condition{}, "面積 ＜ 999999999"},
        {RuleBuilder().keys(1, 0, 100, 5000, 0, 1, 0), "100 ≦ 面積 ＜ 5000"},
        {RuleBuilder().keys(2, 0, -5, 7, 0, 0, 1), "-5 ＜ 面積 ≦ 7"},
        {RuleBuilder().keys(0, 10, 0, 0, 5, 0, 0), "面積  10"},
        {RuleBuilder().keys(1, 0, 1, 9, 0, 2, 0), "1  面積 ＜ 9"},
        {RuleBuilder().keys(0, 5, 0, 0, -1, 0, 0), "面積  5"},
        {RuleBuilder().keys(-1, 0, INT_MIN, INT_MAX, 0, 4, -1), "-2147483648  面積  2147483647"},
        {RuleBuilder().keys(0, INT_MIN, 0, 0, 4, 0, 0), "面積 ＞ -2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(toUtf8(formatCondition(c.rule)), c.text);
}

}  // namespace
