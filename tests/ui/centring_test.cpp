// Where a dialog lands when it centres itself, on a 0..1000 × 0..800 work area.
#include <gtest/gtest.h>

#include "ui/centring.h"

namespace {

TEST(Centring, CentresOnTheReferenceAndKeepsTheLeftAndTopEdgesInTheArea) {
    const ScreenRect area{0, 0, 1000, 800};
    const struct {
        const char* what;
        ScreenRect dialog;
        bool hasReference;
        ScreenRect reference;
        ScreenPoint expected;
    } cases[] = {
        {"centred on the reference", {0, 0, 200, 100}, true, {100, 100, 501, 401}, {200, 200}},
        {"odd sizes truncate", {0, 0, 201, 101}, true, {0, 0, 301, 301}, {50, 100}},
        {"no reference: the area", {50, 50, 250, 150}, false, {}, {400, 350}},
        {"clamped on the right and bottom", {0, 0, 200, 100}, true, {900, 700, 1100, 900}, {800, 700}},
        {"clamped on the left and top", {0, 0, 200, 100}, true, {-300, -300, -100, -100}, {0, 0}},
        {"larger than the area: left and top win", {0, 0, 1200, 900}, true, {0, 0, 1000, 800}, {0, 0}},
    };
    for (const auto& c : cases) {
        ScreenPoint at = centredPosition(c.dialog, c.hasReference ? &c.reference : nullptr, area);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

TEST(Centring, AnAreaAwayFromTheOriginAndANegativeMidpoint) {
    const ScreenRect area{-1000, -500, -200, 100};  // a monitor left of and above the primary
    ScreenPoint at = centredPosition({0, 0, 100, 51}, nullptr, area);
    EXPECT_EQ(at.x, -650);  // (-1000 + -200) / 2 - 50
    EXPECT_EQ(at.y, -225);  // (-500 + 100) / 2 - 25 = -200 - 25
    ScreenPoint odd = centredPosition({0, 0, 10, 10}, nullptr, {-7, -7, 0, 0});
    EXPECT_EQ(odd.x, -7);  // -7 / 2 is -3 (toward zero), -3 - 5 = -8, clamped to -7
}

}  // namespace
