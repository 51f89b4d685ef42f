#include "odbc/odbcvalue.h"

#include "platform/exception.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <gtest/gtest.h>

using namespace lystra;

namespace {

TEST(ValueKinds, NamesMatchExactlyAndUnknownIsString)
{
    const std::pair<const char*, TODBCFieldKind> cases[] = {
        {"string", TODBCFieldKind::String},     {"memo", TODBCFieldKind::Memo},
        {"int16", TODBCFieldKind::Int16},       {"int32", TODBCFieldKind::Int32},
        {"int64", TODBCFieldKind::Int64},       {"double", TODBCFieldKind::Double},
        {"currency", TODBCFieldKind::Currency}, {"date", TODBCFieldKind::Date},
        {"time", TODBCFieldKind::Time},         {"datetime", TODBCFieldKind::DateTime},
        {"boolean", TODBCFieldKind::Boolean},   {"bytes", TODBCFieldKind::Bytes},
        {"blob", TODBCFieldKind::Blob},         {"Int32", TODBCFieldKind::String},
        {"varchar", TODBCFieldKind::String},    {"", TODBCFieldKind::String},
    };
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(fieldKindOf(name), kind) << name;
}

struct ValueCase {
    const char* name;
    TODBCFieldKind kind;
    QByteArray text;
    QVariant expected; // invalid: NULL or absent
    bool trimStrings = false;
};

class Values : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Values, DecodeToTheTypedValue)
{
    const ValueCase& c = GetParam();
    const QVariant value = decodeValue(c.kind, c.text, c.trimStrings);
    EXPECT_EQ(value.isValid(), c.expected.isValid());
    EXPECT_EQ(value.metaType(), c.expected.metaType());
    EXPECT_EQ(value, c.expected);
}

// The test main pins the Swedish formats: yyyy-MM-dd and HH:mm:ss.
INSTANTIATE_TEST_SUITE_P(
    Cases, Values,
    ::testing::Values(
        ValueCase{"StringUnchanged", TODBCFieldKind::String, "  ab \t", QByteArray("  ab \t")},
        ValueCase{"StringTrimmedOnRequest", TODBCFieldKind::String, "  ab \t", QByteArray("  ab"), true},
        ValueCase{"EmptyIsEmptyStringNotNull", TODBCFieldKind::String, "", QByteArray("")},
        ValueCase{"NullInStringColumn", TODBCFieldKind::String, "\xff", QVariant()},
        ValueCase{"NullInIntegerColumn", TODBCFieldKind::Int32, "\xff", QVariant()},
        ValueCase{"TwoBytes255AreText", TODBCFieldKind::String, "\xff\xff", QByteArray("\xff\xff")},
        ValueCase{"BytesAlwaysTrimmed", TODBCFieldKind::Bytes, "ab \x01", QByteArray("ab")},
        ValueCase{"MemoHexWith26AsLineBreak", TODBCFieldKind::Memo, "411a42", QByteArray("A\r\nB")},
        ValueCase{"BlobHex", TODBCFieldKind::Blob, "00FF7f", QByteArray("\x00\xff\x7f", 3)},
        ValueCase{"Int16", TODBCFieldKind::Int16, "-32768", QVariant::fromValue<qint16>(-32768)},
        ValueCase{"Int32", TODBCFieldKind::Int32, "123456", QVariant(123456)},
        ValueCase{"Int64", TODBCFieldKind::Int64, "9223372036854775807",
                  QVariant::fromValue<qint64>(9223372036854775807LL)},
        ValueCase{"Double", TODBCFieldKind::Double, "-1.25e2", QVariant(-125.0)},
        ValueCase{"Currency", TODBCFieldKind::Currency, "1234.56", QVariant(1234.56)},
        ValueCase{"Date", TODBCFieldKind::Date, "2024-03-01", QVariant(QDate(2024, 3, 1))},
        ValueCase{"DateOfOtherLocaleIsAbsent", TODBCFieldKind::Date, "01.03.2024", QVariant()},
        ValueCase{"Time", TODBCFieldKind::Time, "13:45:10", QVariant(QTime(13, 45, 10))},
        ValueCase{"DateTime", TODBCFieldKind::DateTime, "2024-03-01 13:45:10",
                  QVariant(QDateTime(QDate(2024, 3, 1), QTime(13, 45, 10)))},
        ValueCase{"BadDateTimeIsAbsent", TODBCFieldKind::DateTime, "yesterday", QVariant()},
        ValueCase{"BooleanWordAnyCase", TODBCFieldKind::Boolean, "TRUE", QVariant(true)},
        ValueCase{"BooleanFalse", TODBCFieldKind::Boolean, "false", QVariant(false)},
        ValueCase{"BooleanZero", TODBCFieldKind::Boolean, "0", QVariant(false)},
        ValueCase{"BooleanNonZero", TODBCFieldKind::Boolean, "-2", QVariant(true)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Values, TextsThatDoNotConvertRaise)
{
    const std::pair<TODBCFieldKind, QByteArray> cases[] = {
        {TODBCFieldKind::Int16, "32768"},   {TODBCFieldKind::Int32, "12a"},
        {TODBCFieldKind::Int32, ""},        {TODBCFieldKind::Int64, "1.5"},
        {TODBCFieldKind::Double, "1,5"},    {TODBCFieldKind::Boolean, "ja"},
        {TODBCFieldKind::Blob, "abc"},      {TODBCFieldKind::Memo, "4g"},
    };
    for (const auto& [kind, text] : cases)
        EXPECT_THROW(decodeValue(kind, text), EConvertError) << text.constData();
}

} // namespace
