// The rule list's condition column, compared as UTF-8 after conversion from
// the CP932 bytes the list view is given.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/condition_text.h"

namespace {

// Only the characters these texts use: ASCII and the five symbols and 面積.
std::string toUtf8(const std::string& cp932) {
    static const struct {
        const char* cp932;
        const char* utf8;
    } kTable[] = {{"\x81\x83", "＜"}, {"\x81\x85", "≦"}, {"\x81\x81", "＝"}, {"\x81\x86", "≧"},
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

Condition rule(std::int32_t type, std::int32_t a, std::int32_t cmbA, std::int32_t b1, std::int32_t cmbB1,
               std::int32_t cmbB2, std::int32_t b2) {
    Condition c;
    c._type = type;
    c._a = a;
    c._cmbA = cmbA;
    c._b1 = b1;
    c._cmbB1 = cmbB1;
    c._cmbB2 = cmbB2;
    c._b2 = b2;
    return c;
}

TEST(ConditionText, EachTypeWithItsSymbolsNumbersAndEmptySymbols) {
    const struct {
        Condition rule;
        const char* text;
    } cases[] = {
        {rule(0, 1000000, 3, 0, 0, 0, 0), "面積 ≧ 1000000"},
        {Condition{}, "面積 ＜ 999999999"},
        {rule(1, 0, 0, 100, 1, 0, 5000), "100 ≦ 面積 ＜ 5000"},
        {rule(2, 0, 0, -5, 0, 1, 7), "-5 ＜ 面積 ≦ 7"},
        {rule(0, 10, 5, 0, 0, 0, 0), "面積  10"},
        {rule(1, 0, 0, 1, 2, 0, 9), "1  面積 ＜ 9"},
        {rule(0, 5, -1, 0, 0, 0, 0), "面積  5"},
        {rule(-1, 0, 0, INT_MIN, 4, -1, INT_MAX), "-2147483648  面積  2147483647"},
        {rule(0, INT_MIN, 4, 0, 0, 0, 0), "面積 ＞ -2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(toUtf8(formatCondition(c.rule)), c.text);
}

}  // namespace
