#include "odbc/odbcvalue.h"

#include "platform/convert.h"
#include "platform/exception.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <array>
#include <limits>
#include <utility>

namespace lystra {

namespace {

[[noreturn]] void raiseInvalid(QByteArrayView text, QLatin1StringView what)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2 value")
                            .arg(HostCodec::host().decode(text), what));
}

int hexDigit(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool toBoolean(QByteArrayView text)
{
    const QByteArrayView word = text.trimmed();
    if (word.compare("true", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare("false", Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = parseDouble(word))
        return *number != 0;
    raiseInvalid(text, QLatin1StringView("boolean"));
}

qint16 toInt16(QByteArrayView text)
{
    const auto value = parseInt64(text);
    if (!value || *value < std::numeric_limits<qint16>::min() ||
        *value > std::numeric_limits<qint16>::max())
        raiseInvalid(text, QLatin1StringView("integer"));
    return static_cast<qint16>(*value);
}

// Dates and times travel in the workstation's formats; a text that does not
// parse leaves the value absent rather than failing the row.
QVariant toDate(QByteArrayView text)
{
    const FormatSettings& formats = FormatSettings::current();
    const QString decoded = HostCodec::host().decode(text);
    if (const auto date = formats.parseDate(decoded))
        return *date;
    if (const auto dateTime = formats.parseDateTime(decoded))
        return dateTime->date();
    return {};
}

QVariant toTime(QByteArrayView text)
{
    const FormatSettings& formats = FormatSettings::current();
    const QString decoded = HostCodec::host().decode(text);
    if (const auto time = formats.parseTime(decoded))
        return *time;
    if (const auto dateTime = formats.parseDateTime(decoded))
        return dateTime->time();
    return {};
}

QVariant toDateTime(QByteArrayView text)
{
    if (const auto dateTime = FormatSettings::current().parseDateTime(HostCodec::host().decode(text)))
        return *dateTime;
    return {};
}

QByteArray memoFromHex(QByteArrayView hex)
{
    const QByteArray bytes = hexToBytes(hex);
    QByteArray text;
    text.reserve(bytes.size() + bytes.count('\x1a'));
    for (char c : bytes) {
        if (c == '\x1a')
            text.append("\r\n", 2);
        else
            text.append(c);
    }
    return text;
}

} // namespace

TODBCFieldKind fieldKindOf(QByteArrayView dataType) noexcept
{
    static constexpr std::array<std::pair<const char*, TODBCFieldKind>, 13> kinds{{
        {"string", TODBCFieldKind::String},
        {"memo", TODBCFieldKind::Memo},
        {"int16", TODBCFieldKind::Int16},
        {"int32", TODBCFieldKind::Int32},
        {"int64", TODBCFieldKind::Int64},
        {"double", TODBCFieldKind::Double},
        {"currency", TODBCFieldKind::Currency},
        {"date", TODBCFieldKind::Date},
        {"time", TODBCFieldKind::Time},
        {"datetime", TODBCFieldKind::DateTime},
        {"boolean", TODBCFieldKind::Boolean},
        {"bytes", TODBCFieldKind::Bytes},
        {"blob", TODBCFieldKind::Blob},
    }};
    for (const auto& [name, kind] : kinds) {
        if (dataType == QByteArrayView(name))
            return kind;
    }
    return TODBCFieldKind::String;
}

QByteArrayView trimTrailing(QByteArrayView text) noexcept
{
    qsizetype end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.first(end);
}

QByteArray hexToBytes(QByteArrayView hex)
{
    if (hex.size() % 2 != 0)
        raiseInvalid(hex, QLatin1StringView("hexadecimal"));
    QByteArray bytes(hex.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(hex[2 * i]);
        const int low = hexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            raiseInvalid(hex, QLatin1StringView("hexadecimal"));
        bytes[i] = static_cast<char>(high * 16 + low);
    }
    return bytes;
}

QVariant decodeValue(TODBCFieldKind kind, QByteArrayView text, bool trimStrings)
{
    if (isNullValue(text))
        return {};
    switch (kind) {
    case TODBCFieldKind::String:
        return (trimStrings ? trimTrailing(text) : text).toByteArray();
    case TODBCFieldKind::Bytes:
        return trimTrailing(text).toByteArray();
    case TODBCFieldKind::Memo:
        return memoFromHex(text);
    case TODBCFieldKind::Blob:
        return hexToBytes(text);
    case TODBCFieldKind::Int16:
        return QVariant::fromValue(toInt16(text));
    case TODBCFieldKind::Int32:
        return toInt(text);
    case TODBCFieldKind::Int64:
        return QVariant::fromValue(static_cast<qint64>(toInt64(text)));
    case TODBCFieldKind::Double:
    case TODBCFieldKind::Currency:
        return toDouble(text);
    case TODBCFieldKind::Date:
        return toDate(text);
    case TODBCFieldKind::Time:
        return toTime(text);
    case TODBCFieldKind::DateTime:
        return toDateTime(text);
    case TODBCFieldKind::Boolean:
        return toBoolean(text);
    }
    return text.toByteArray();
}

} // namespace lystra
