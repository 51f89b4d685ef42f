#include "platform/rounding.h"

#include <gtest/gtest.h>

using namespace lystra;

TEST(Rounding, HalvesGoToEven)
{
    struct Case {
        double value;
        int expected;
    };
    const Case cases[] = {{37.5, 38}, {12.5, 12}, {0.5, 0}, {1.5, 2}, {-2.5, -2},
                          {-3.5, -4}, {2.4999, 2}, {2.5001, 3}, {-0.4, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.expected) << c.value;
}

TEST(Rounding, DivisionAndMillimetres)
{
    EXPECT_EQ(divRound(300, 8), 38);                 // 37.5
    EXPECT_EQ(divRound(72 * 5, kMillimetresPerInch), 14); // page margin at 72 dpi
    EXPECT_EQ(millimetresToPixels(25.39, 300), 300);
    EXPECT_DOUBLE_EQ(pixelsToMillimetres(300, 300), 25.39);
}

TEST(Rounding, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(mulDiv(72, 14, 96), 11);  // 10.5
    EXPECT_EQ(mulDiv(72, 10, 120), 6);
    EXPECT_EQ(mulDiv(-72, 14, 96), -11);
    EXPECT_EQ(mulDiv(1 << 30, 8, 16), 1 << 29); // no overflow in the product
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
}
