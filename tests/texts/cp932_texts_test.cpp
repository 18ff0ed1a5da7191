// The plug-in's Japanese texts against an independent CP932 encoding of the
// same words, made by iconv when the build was configured.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cp932_expected.h"
#include "pixtagger.h"
#include "texts/cp932_texts.h"

namespace {

std::string hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    return out;
}

TEST(Cp932Texts, SummaryIsTheCp932EncodingOfItsJapanese) {
    EXPECT_EQ(hex(acGetSummary()), hex(cp932_expected::kSummary));
    EXPECT_EQ(std::strlen(acGetSummary()), sizeof cp932_expected::kSummary - 1);
}

TEST(Cp932Texts, OperatorSymbolsAreFullWidthCp932InOperatorOrder) {
    const char* const expected[5] = {cp932_expected::kLess, cp932_expected::kLessEqual, cp932_expected::kEqual,
                                     cp932_expected::kGreaterEqual, cp932_expected::kGreater};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(hex(pixtagger::texts::kCompareOpSymbols[i]), hex(expected[i])) << "operator " << i;
        EXPECT_EQ(std::strlen(pixtagger::texts::kCompareOpSymbols[i]), 2u) << "operator " << i;
    }
}

TEST(Cp932Texts, DialogTextsAreTheCp932EncodingOfTheirJapanese) {
    namespace texts = pixtagger::texts;
    const struct {
        const char* actual;
        const char* expected;
    } cases[] = {
        {texts::kEnterAttributeName, cp932_expected::kEnterAttributeName},
        {texts::kNoBackslashInAttributeName, cp932_expected::kNoBackslashInAttributeName},
        {texts::kErrorCaption, cp932_expected::kErrorCaption},
        {texts::kConfirmDelete, cp932_expected::kConfirmDelete},
        {texts::kConfirmCaption, cp932_expected::kConfirmCaption},
        {texts::kColumnAttribute, cp932_expected::kColumnAttribute},
        {texts::kColumnCategory, cp932_expected::kColumnCategory},
        {texts::kColumnCondition, cp932_expected::kColumnCondition},
        {texts::kConditionFormatA, cp932_expected::kConditionFormatA},
        {texts::kConditionFormatB, cp932_expected::kConditionFormatB},
    };
    for (const auto& c : cases) EXPECT_EQ(hex(c.actual), hex(c.expected)) << c.expected;
}

}  // namespace
