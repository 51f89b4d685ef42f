#include "platform/exception.h"
#include "printfiles/hosttext.h"
#include "printfiles/sqltext.h"

#include <gtest/gtest.h>

using namespace lystra;

TEST(NormalizeNumbers, SwedishDecimalComma)
{
    struct Case {
        const char* name;
        QByteArray text, expected;
    };
    const Case cases[] = {
        {"grouping points go, blanks in front of the X", "X1.234.567,50", "  X1234567,50"},
        {"a point alone is decimal", "1.5", "1,5"},
        {"date at line start loses its first point", "12.03.2008", "1203,2008"},
        {"point grouping after a blank", " 1.234,56", "  1234,56"},
        {"comma grouping after a blank", " 1,234.56", "  1234,56"},
        {"the rightmost separator is decimal", "1.234", "1,234"},
        {"number at the start gets shorter", "1.234,56 kr", "1234,56 kr"},
        {"several numbers on a line", "a 1.000,5 b 2.000,25", "a  1000,5 b  2000,25"},
        {"separator without a digit to its right stays", "1. och 2,", "1. och 2,"},
        {"no digits", "a.b,c", "a.b,c"},
        {"integers stay", "Sida 12", "Sida 12"},
        {"empty", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeNumbers(c.text), c.expected) << c.name;
}

TEST(NormalizeNumbers, OtherDecimalSeparator)
{
    EXPECT_EQ(NormalizeNumbers(" 1.234,56", '.'), "  1234.56");
    EXPECT_EQ(NormalizeNumbers("1,5", '.'), "1.5");
}

TEST(SqlText, StringLiteralsDoubleQuotesAndRefuseLineBreaks)
{
    EXPECT_EQ(SqlString("O'Hara"), "'O''Hara'");
    EXPECT_EQ(SqlString(""), "''");
    EXPECT_EQ(SqlString("x' or '1'='1"), "'x'' or ''1''=''1'");
    for (const QByteArray& bad : {QByteArray("a\nb"), QByteArray("a\rb"), QByteArray("a\0b", 3)})
        EXPECT_THROW(SqlString(bad), Exception);
}

TEST(SqlText, TableNames)
{
    struct Case {
        QByteArray name;
        bool valid;
    };
    const Case cases[] = {
        {"ANNA", true},  {"QSECOFR", true}, {"A1", true},
        {"#X$@_", true}, {"\xc5SA", true}, // ÅSA in the host code page
        {"", false},     {"1A", false},     {"A B", false},
        {"A'B", false},  {"A;DROP", false}, {"A.B", false},
        {"A-B", false},  {"A\"", false},    {"A\x01", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTableName(c.name), c.valid) << c.name.constData();
    EXPECT_EQ(CheckedUserTable("ANNA"), "ANNA");
    try {
        CheckedUserTable("X; drop table CATALOG");
        FAIL() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral(
                      "Användarprofilen \"X; drop table CATALOG\" kan inte vara ett tabellnamn"));
    }
}
