#include "server/columntypes.h"

#include <QRegularExpression>
#include <QSqlField>

#include <cmath>
#include <limits>

namespace lystra {

namespace {

// The numbers in "NAME(a)" or "NAME(a,b)"; 0 where absent.
std::pair<int, int> declaredNumbers(QStringView declaration)
{
    static const QRegularExpression numbers(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\)"));
    const QRegularExpressionMatch match = numbers.match(declaration.toString());
    if (!match.hasMatch())
        return {0, 0};
    return {match.capturedView(1).toInt(), match.capturedView(2).toInt()};
}

WireType integerTypeForDigits(int digits)
{
    if (digits > 0 && digits <= 4)
        return WireType::Int16;
    if (digits <= 9)
        return WireType::Int32;
    if (digits <= 18)
        return WireType::Int64;
    return WireType::Double;
}

// SQL type codes of ODBC (sql.h); Qt passes them on as QSqlField::typeID().
enum OdbcType {
    kSqlNumeric = 2,
    kSqlDecimal = 3,
    kSqlSmallInt = 5,
    kSqlTinyInt = -6,
    kSqlLongVarBinary = -4,
};

} // namespace

std::optional<ColumnType> columnTypeFromDeclaration(QStringView declaration)
{
    const QString upper = declaration.trimmed().toString().toUpper();
    if (upper.isEmpty())
        return std::nullopt;
    const auto [first, second] = declaredNumbers(upper);
    const auto has = [&upper](const char* part) { return upper.contains(QLatin1StringView(part)); };
    const auto starts = [&upper](const char* part) { return upper.startsWith(QLatin1StringView(part)); };
    static const QRegularExpression wordSplit(QStringLiteral("[^A-Z0-9_]+"));
    const QStringList words = upper.split(wordSplit, Qt::SkipEmptyParts);
    const QString firstWord = words.value(0);
    const auto hasWord = [&words](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (words.contains(QLatin1StringView(name)))
                return true;
        }
        return false;
    };

    // Intervals and ranges are texts ("1 day 02:00:00", "[1,5)") even where
    // their names start like a date or hold "INT".
    if (firstWord == u"INTERVAL" || firstWord.endsWith(u"RANGE"))
        return ColumnType{WireType::String, 0};
    if (starts("BOOL"))
        return ColumnType{WireType::Boolean, 0};
    if (starts("DATETIME") || starts("TIMESTAMP"))
        return ColumnType{WireType::DateTime, 0};
    if (starts("DATE"))
        return ColumnType{WireType::Date, 0};
    if (starts("TIME"))
        return ColumnType{WireType::Time, 0};
    if (starts("MEMO") || has("CLOB") || starts("LONG VARCHAR"))
        return ColumnType{WireType::Memo, 0};
    if (has("BLOB") || has("BINARY") || starts("BYTEA"))
        return ColumnType{WireType::Blob, 0};
    if (starts("CURRENCY") || starts("MONEY"))
        return ColumnType{WireType::Currency, 0};
    if (starts("SMALLINT") || starts("TINYINT") || starts("INT2"))
        return ColumnType{WireType::Int16, 0};
    if (starts("BIGINT") || starts("INT8") || starts("INT64") || starts("BIGSERIAL"))
        return ColumnType{WireType::Int64, 0};
    // An integer type by its own word: "INTEGER", "INT(11)", "UNSIGNED BIG
    // INT", but not "POINT" or "INTERVAL", whose values are no integers.
    if (hasWord({"INT", "INTEGER", "INT4", "INT32", "MEDIUMINT", "SERIAL"}))
        return ColumnType{WireType::Int32, 0};
    if (starts("NUMERIC") || starts("DECIMAL") || starts("DEC(") || starts("NUMBER")) {
        if (first > 0 && second == 0)
            return ColumnType{integerTypeForDigits(first), 0};
        return ColumnType{WireType::Double, 0};
    }
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return ColumnType{WireType::Double, 0};
    // CHAR, VARCHAR, TEXT and anything else a schema may hold.
    return ColumnType{WireType::String, first};
}

ColumnType columnTypeFromField(const QSqlField& field)
{
    const int length = field.length() > 0 && field.length() < std::numeric_limits<int>::max()
                           ? field.length()
                           : 0;
    const int sqlType = field.typeID();
    switch (field.metaType().id()) {
    case QMetaType::Bool:
        return {WireType::Boolean, 0};
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        return {WireType::Int16, 0};
    case QMetaType::Int:
        if (sqlType == kSqlSmallInt || sqlType == kSqlTinyInt)
            return {WireType::Int16, 0};
        return {WireType::Int32, 0};
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return {WireType::Int64, 0};
    case QMetaType::Double:
    case QMetaType::Float:
        // Qt reports a scale of 0 as -1.
        if ((sqlType == kSqlDecimal || sqlType == kSqlNumeric) && field.precision() <= 0 && length > 0)
            return {integerTypeForDigits(length), 0};
        return {WireType::Double, 0};
    case QMetaType::QDate:
        return {WireType::Date, 0};
    case QMetaType::QTime:
        return {WireType::Time, 0};
    case QMetaType::QDateTime:
        return {WireType::DateTime, 0};
    case QMetaType::QByteArray:
        return {WireType::Blob, 0};
    default:
        break;
    }
    // Long text stays "string" too: a quoted row value carries any text but
    // NUL, line breaks included.
    if (sqlType == kSqlLongVarBinary)
        return {WireType::Blob, 0};
    return {WireType::String, length};
}

WireType integerTypeFor(WireType type, const QVariant& value)
{
    if ((type != WireType::Int16 && type != WireType::Int32) || value.isNull())
        return type;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Short:
        number = value.toLongLong();
        break;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        if (value.toULongLong() > quint64(std::numeric_limits<qlonglong>::max()))
            return WireType::Int64;
        number = value.toLongLong();
        break;
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18)
            return type;
        number = qlonglong(d);
        break;
    }
    default:
        return type;
    }
    if (number >= std::numeric_limits<qint16>::min() && number <= std::numeric_limits<qint16>::max())
        return type;
    if (number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<qint32>::max())
        return WireType::Int32;
    return WireType::Int64;
}

void ValueTypeInference::see(const QVariant& value)
{
    if (value.isNull())
        return;
    WireType seen = WireType::String;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        seen = WireType::Int32;
        break;
    case QMetaType::LongLong: {
        const qlonglong v = value.toLongLong();
        seen = v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max()
                   ? WireType::Int32
                   : WireType::Int64;
        break;
    }
    case QMetaType::ULongLong:
        seen = WireType::Int64;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        seen = WireType::Double;
        break;
    case QMetaType::QByteArray:
        seen = WireType::Blob;
        break;
    default:
        seen = WireType::String;
        break;
    }
    if (!m_type) {
        m_type = seen;
        return;
    }
    // Blob stays blob (its values are hexadecimal whatever they held); other
    // types only widen along int32, int64, double, string.
    const auto rank = [](WireType t) {
        switch (t) {
        case WireType::Int32: return 0;
        case WireType::Int64: return 1;
        case WireType::Double: return 2;
        default: return 3;
        }
    };
    if (*m_type == WireType::Blob)
        return;
    if (seen == WireType::Blob)
        seen = WireType::String;
    if (rank(seen) > rank(*m_type))
        m_type = seen;
}

} // namespace lystra
