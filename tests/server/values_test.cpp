// Column types and value texts: what the field definitions say and how each
// backend value is written into a row.

#include "server/columntypes.h"
#include "server/valueformatter.h"

#include "platform/hostcodec.h"

#include <QDateTime>
#include <QSqlField>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lystra;

TEST(ColumnTypes, FromSqlDeclarations)
{
    struct Case {
        const char* declaration;
        WireType type;
        int length;
    };
    const Case cases[] = {
        {"VARCHAR(10)", WireType::String, 10},   {"char(1)", WireType::String, 1},
        {"TEXT", WireType::String, 0},            {"NUMERIC(8,0)", WireType::Int32, 0},
        {"DECIMAL(15, 0)", WireType::Int64, 0},   {"NUMERIC(4,1)", WireType::Double, 0},
        {"NUMERIC(3)", WireType::Int16, 0},       {"NUMERIC", WireType::Double, 0},
        {"DECIMAL(31,0)", WireType::Double, 0},   {"INTEGER", WireType::Int32, 0},
        {"BIGINT", WireType::Int64, 0},           {"SMALLINT", WireType::Int16, 0},
        {"REAL", WireType::Double, 0},            {"DOUBLE PRECISION", WireType::Double, 0},
        {"DATE", WireType::Date, 0},              {"TIME", WireType::Time, 0},
        {"TIMESTAMP", WireType::DateTime, 0},     {"DATETIME", WireType::DateTime, 0},
        {"BOOLEAN", WireType::Boolean, 0},        {"BLOB", WireType::Blob, 0},
        {"CLOB", WireType::Memo, 0},              {"MONEY", WireType::Currency, 0},
        // Integer by word only; interval and range texts are strings.
        {"INT(11)", WireType::Int32, 0},          {"UNSIGNED BIG INT", WireType::Int32, 0},
        {"serial", WireType::Int32, 0},           {"interval", WireType::String, 0},
        {"INTERVAL DAY TO SECOND", WireType::String, 0}, {"POINT", WireType::String, 0},
        {"daterange", WireType::String, 0},       {"int4range", WireType::String, 0},
    };
    for (const Case& c : cases) {
        const auto type = columnTypeFromDeclaration(QString::fromLatin1(c.declaration));
        ASSERT_TRUE(type) << c.declaration;
        EXPECT_EQ(type->type, c.type) << c.declaration;
        EXPECT_EQ(type->declaredLength, c.length) << c.declaration;
    }
    EXPECT_FALSE(columnTypeFromDeclaration(u"  "));
}

TEST(ColumnTypes, FromOdbcFields)
{
    QSqlField decimal(QStringLiteral("FDATE"), QMetaType(QMetaType::Double));
    decimal.setLength(8);
    decimal.setPrecision(0);
    decimal.setSqlType(3); // SQL_DECIMAL
    EXPECT_EQ(columnTypeFromField(decimal).type, WireType::Int32);
    decimal.setPrecision(1);
    EXPECT_EQ(columnTypeFromField(decimal).type, WireType::Double);

    QSqlField text(QStringLiteral("FID"), QMetaType(QMetaType::QString));
    text.setLength(10);
    EXPECT_EQ(columnTypeFromField(text).type, WireType::String);
    EXPECT_EQ(columnTypeFromField(text).declaredLength, 10);
    EXPECT_EQ(columnTypeFromField(QSqlField(QStringLiteral("D"), QMetaType(QMetaType::QDate))).type, WireType::Date);
    EXPECT_EQ(columnTypeFromField(QSqlField(QStringLiteral("N"), QMetaType(QMetaType::LongLong))).type, WireType::Int64);
}

TEST(ColumnTypes, UndeclaredColumnsWidenWithTheirValues)
{
    ValueTypeInference nulls;
    nulls.see(QVariant());
    EXPECT_EQ(nulls.type(), WireType::String);

    ValueTypeInference numbers;
    numbers.see(QVariant(qlonglong(5)));
    EXPECT_EQ(numbers.type(), WireType::Int32);
    numbers.see(QVariant(qlonglong(1) << 40));
    EXPECT_EQ(numbers.type(), WireType::Int64);
    numbers.see(QVariant(qlonglong(1))); // never narrows
    EXPECT_EQ(numbers.type(), WireType::Int64);
    numbers.see(QVariant(2.5));
    EXPECT_EQ(numbers.type(), WireType::Double);
    numbers.see(QVariant(QStringLiteral("x")));
    EXPECT_EQ(numbers.type(), WireType::String);

    ValueTypeInference blob;
    blob.see(QVariant(QByteArray("\x01\x02", 2)));
    blob.see(QVariant(QStringLiteral("text")));
    EXPECT_EQ(blob.type(), WireType::Blob);
}

TEST(ColumnTypes, IntegerColumnsWidenToHoldTheirValues)
{
    struct Case {
        const char* name;
        WireType declared;
        QVariant value;
        WireType announced;
    };
    const Case cases[] = {
        {"fits int32", WireType::Int32, QVariant(qlonglong(2147483647)), WireType::Int32},
        {"beyond int32", WireType::Int32, QVariant(qlonglong(5000000000)), WireType::Int64},
        {"below int32", WireType::Int32, QVariant(qlonglong(-2147483649)), WireType::Int64},
        {"fits int16", WireType::Int16, QVariant(qlonglong(-32768)), WireType::Int16},
        {"beyond int16", WireType::Int16, QVariant(qlonglong(70000)), WireType::Int32},
        {"far beyond int16", WireType::Int16, QVariant(qlonglong(3000000000)), WireType::Int64},
        {"integral double", WireType::Int32, QVariant(3.0e9), WireType::Int64},
        {"fraction is no integer", WireType::Int32, QVariant(1.5), WireType::Int32},
        {"text stays", WireType::Int32, QVariant(QStringLiteral("99999999999")), WireType::Int32},
        {"null", WireType::Int16, QVariant(QMetaType(QMetaType::LongLong)), WireType::Int16},
        {"not an integer type", WireType::String, QVariant(qlonglong(5000000000)), WireType::String},
    };
    for (const Case& c : cases)
        EXPECT_EQ(integerTypeFor(c.declared, c.value), c.announced) << c.name;
}

TEST(ValueFormatter, RowTextPerType)
{
    FormatSettings formats = FormatSettings::swedish();
    const ValueFormatter swedish(HostCodec::host(), formats);
    formats.shortDateFormat = QStringLiteral("dd.MM.yyyy");
    formats.longTimeFormat = QStringLiteral("hh.mm");
    const ValueFormatter other(HostCodec::host(), formats);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    struct Case {
        const char* name;
        const ValueFormatter& formatter;
        QVariant value;
        WireType type;
        std::optional<QByteArray> text;
    };
    const Case cases[] = {
        {"integer", swedish, QVariant(qlonglong(20251103)), WireType::Int32, "20251103"},
        {"exact decimal text", swedish, QVariant(QStringLiteral("20260101.000")), WireType::Int32, "20260101"},
        {"integral double", swedish, QVariant(54500.0), WireType::Int32, "54500"},
        {"double", swedish, QVariant(16.7), WireType::Double, "16.7"},
        {"double shortest", swedish, QVariant(0.1), WireType::Double, "0.1"},
        {"double integral", swedish, QVariant(qlonglong(10)), WireType::Double, "10"},
        {"not finite", swedish, QVariant(nan), WireType::Double, std::nullopt},
        {"null", swedish, QVariant(QMetaType(QMetaType::QString)), WireType::String, std::nullopt},
        {"code page", swedish, QVariant(QStringLiteral("Bokfört €")), WireType::String, "Bokf\xf6rt \x80"},
        {"no such character", swedish, QVariant(QStringLiteral("\u4e2d")), WireType::String, "?"},
        {"stored date", swedish, QVariant(QStringLiteral("2025-11-03")), WireType::Date, "2025-11-03"},
        {"date format", other, QVariant(QDate(2025, 11, 3)), WireType::Date, "03.11.2025"},
        {"stored date-time", swedish, QVariant(QStringLiteral("2025-11-03 12:30:05")), WireType::DateTime,
         "2025-11-03 12:30:05"},
        {"midnight", swedish, QVariant(QDateTime(QDate(2025, 11, 3), QTime(0, 0))), WireType::DateTime, "2025-11-03"},
        {"time", other, QVariant(QStringLiteral("07:45:00")), WireType::Time, "07.45"},
        {"unreadable date kept", swedish, QVariant(QStringLiteral("31/02")), WireType::Date, "31/02"},
        {"boolean", swedish, QVariant(true), WireType::Boolean, "True"},
        {"boolean number", swedish, QVariant(qlonglong(0)), WireType::Boolean, "0"},
        {"blob", swedish, QVariant(QByteArray("\x00\xff\x1a", 3)), WireType::Blob, "00FF1A"},
        {"memo line breaks", swedish, QVariant(QStringLiteral("a\r\nb\nå")), WireType::Memo, "611A621AE5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.formatter.text(c.value, c.type), c.text) << c.name;
}
