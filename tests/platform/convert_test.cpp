#include "platform/convert.h"
#include "platform/exception.h"

#include <gtest/gtest.h>

#include <limits>

using namespace lystra;

TEST(Convert, Integers)
{
    EXPECT_EQ(toInt("42"), 42);
    EXPECT_EQ(toInt("  -7"), -7);
    EXPECT_EQ(toInt("+3"), 3);
    EXPECT_EQ(toInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(toIntDef("x", 5), 5);
    EXPECT_EQ(toIntDef("2147483648", 5), 5);
    for (const char* bad : {"", " ", "-", "12 ", "1x", "9223372036854775808", "0x10"})
        EXPECT_FALSE(parseInt64(bad).has_value()) << bad;
}

TEST(Convert, InvalidIntegerMessage)
{
    try {
        toInt("Bokf\xf6rt");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'Bokfört' is not a valid integer value"));
    }
}

TEST(Convert, Doubles)
{
    EXPECT_DOUBLE_EQ(toDouble("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(toDouble("-1234.25"), -1234.25);
    EXPECT_DOUBLE_EQ(toDouble("1E3"), 1000.0);
    EXPECT_FALSE(parseDouble("1,5").has_value());
    EXPECT_THROW(toDouble(""), EConvertError);
}
