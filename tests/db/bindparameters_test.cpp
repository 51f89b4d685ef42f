#include "db/edatabaseerror.h"
#include "db/tcscustomsqldriver.h"
#include "db/tparams.h"
#include "platform/formatsettings.h"

#include <gtest/gtest.h>

namespace lystra {
namespace {

TParam param(TFieldType type, QVariant value)
{
    TParam p(QStringLiteral("P"), type);
    p.Value = std::move(value);
    return p;
}

struct BindCase {
    const char* name;
    QByteArray statement;
    QList<TParam> params;
    QByteArray expected;
};

class BindParametersTest : public testing::TestWithParam<BindCase> {};

TEST_P(BindParametersTest, WritesLiterals)
{
    TParams params;
    for (const TParam& p : GetParam().params)
        params.AddParam(p);
    EXPECT_EQ(TcsCustomSQLDriver::BindParameters(GetParam().statement, &params), GetParam().expected);
}

const QDate kDate(2026, 3, 7);

INSTANTIATE_TEST_SUITE_P(
    Literals, BindParametersTest,
    testing::Values(
        BindCase{"QuoteDoubledAndNull", "select * from T where A=? and B=?",
                 {param(ftString, QByteArray("O'Hara")), param(ftString, QVariant())},
                 "select * from T where A='O''Hara' and B=null "},
        BindCase{"DoubledMarkIsOneMark", "select '?" "?' from T where A=?", {param(ftInteger, 7)},
                 "select '?' from T where A=7 "},
        BindCase{"FloatUsesPointUnderSwedishLocale", "x=?", {param(ftFloat, 1.5)}, "x=1.5 "},
        BindCase{"CurrencyFifteenDigits", "x=?", {param(ftCurrency, 1.0 / 3.0)}, "x=0.333333333333333 "},
        BindCase{"FloatExponent", "x=?", {param(ftFloat, 1e-7)}, "x=1E-7 "},
        BindCase{"Boolean", "x=? and y=?", {param(ftBoolean, true), param(ftBoolean, false)}, "x=1 and y=0 "},
        BindCase{"Date", "x=?", {param(ftDate, kDate)}, "x='2026-03-07' "},
        BindCase{"TimeInLongTimeFormat", "x=?", {param(ftTime, QTime(8, 5, 9))}, "x='08:05:09' "},
        BindCase{"DateTime", "x=?", {param(ftDateTime, QDateTime(kDate, QTime(23, 4, 5)))},
                 "x='2026-03-07 23:04:05' "},
        BindCase{"BlobAsUpperHex", "x=?", {param(ftBlob, QByteArray("\x01\xab\xff", 3))}, "x=0x01ABFF "},
        BindCase{"MemoCrLfBecomesCode26", "x=?", {param(ftMemo, QByteArray("a\r\nb\nc\0tail", 10))},
                 "x='a\x1a" "b\nc' "},
        BindCase{"MemoQuotesDoubled", "x=?", {param(ftMemo, QByteArray("it's"))}, "x='it''s' "},
        BindCase{"IntegerTextIsNumber", "x=?", {param(ftInteger, QByteArray(" 42"))}, "x=42 "},
        BindCase{"UntypedTextIsQuoted", "x=?", {param(ftUnknown, QByteArray("a'b"))}, "x='a''b' "},
        BindCase{"MarkInsideLiteralIsAMarker", "x='?'", {param(ftInteger, 1)}, "x='1' "}),
    [](const testing::TestParamInfo<BindCase>& row) { return std::string(row.param.name); });

TEST(BindParameters, WithoutParametersReturnsTheStatementUnchanged)
{
    TParams empty;
    EXPECT_EQ(TcsCustomSQLDriver::BindParameters("select ?", nullptr), "select ?");
    EXPECT_EQ(TcsCustomSQLDriver::BindParameters("select ?", &empty), "select ?");
}

TEST(BindParameters, MoreMarkersThanParametersFail)
{
    TParams params;
    params.AddParam(param(ftInteger, 1));
    EXPECT_THROW(TcsCustomSQLDriver::BindParameters("a=? and b=?", &params), Exception);
}

TEST(BindParameters, IntegerParameterRejectsText)
{
    TParams params;
    params.AddParam(param(ftInteger, QByteArray("1; delete from T")));
    EXPECT_THROW(TcsCustomSQLDriver::BindParameters("a=?", &params), EConvertError);
}

struct ParseCase {
    const char* name;
    QByteArray sql;
    QByteArray parsed;
    QStringList names;
};

class ParseSqlTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseSqlTest, ReplacesMarkers)
{
    TParams params;
    EXPECT_EQ(params.ParseSQL(GetParam().sql, true), GetParam().parsed);
    QStringList names;
    for (const TParam& p : params)
        names << p.Name;
    EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, ParseSqlTest,
    testing::Values(ParseCase{"Names", "select * from T where A=:FID and B=:OLD_FID)", "select * from T where A=? and B=?)",
                              {QStringLiteral("FID"), QStringLiteral("OLD_FID")}},
                    ParseCase{"DoubledColon", "select 'a' ::x", "select 'a' :x", {}},
                    ParseCase{"ColonInQuotes", "select ':x', \"a:b\" from T where c=:c", "select ':x', \"a:b\" from T where c=?",
                              {QStringLiteral("c")}},
                    ParseCase{"QuoteDoubledInsideLiteral", "x='it''s :no' and y=:yes", "x='it''s :no' and y=?",
                              {QStringLiteral("yes")}},
                    ParseCase{"LoneColon", "a : b :", "a : b :", {}},
                    ParseCase{"RepeatedName", ":a+:a", "?+?", {QStringLiteral("a"), QStringLiteral("a")}}),
    [](const testing::TestParamInfo<ParseCase>& row) { return std::string(row.param.name); });

TEST(Params, SetParamValueReachesEveryMarkerOfTheName)
{
    TParams params;
    params.ParseSQL(":a+:b+:A", true);
    params.SetParamValue(u"a", 5);
    EXPECT_EQ(TcsCustomSQLDriver::BindParameters("?+?+?", &params), "5+null+5 ");
    EXPECT_THROW(params.ParamByName(u"zz"), EDatabaseError);
}

TEST(Params, PreparedValueTextUsesWireForms)
{
    EXPECT_EQ(param(ftFloat, 2.25).AsText(), "2.25");
    EXPECT_EQ(param(ftString, QVariant()).AsText(), QByteArray(1, '\xff'));
    EXPECT_EQ(param(ftDate, kDate).AsText(), "2026-03-07");
    EXPECT_EQ(param(ftBoolean, true).AsText(), "1");
}

} // namespace
} // namespace lystra
