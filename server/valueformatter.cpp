#include "server/valueformatter.h"

#include "server/rowtext.h"

#include <QDateTime>
#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace lystra {

std::optional<QByteArray> doubleText(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, result.ptr - buffer);
}

ValueFormatter::ValueFormatter(const HostCodec& codec, FormatSettings formats)
    : m_codec(codec), m_formats(std::move(formats))
{
}

void ValueFormatter::append(RowTextWriter& row, const QVariant& value, WireType type) const
{
    if (const auto bytes = text(value, type))
        row.appendValue(*bytes);
    else
        row.appendNull();
}

std::optional<QByteArray> ValueFormatter::text(const QVariant& value, WireType type) const
{
    if (value.isNull())
        return std::nullopt;
    switch (type) {
    case WireType::Int16:
    case WireType::Int32:
    case WireType::Int64:
        return integerText(value);
    case WireType::Double:
    case WireType::Currency:
        return numberText(value);
    case WireType::Date:
    case WireType::Time:
    case WireType::DateTime:
        return dateText(value, type);
    case WireType::Boolean:
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? QByteArrayLiteral("True") : QByteArrayLiteral("False");
        return plainText(value);
    case WireType::Blob:
        return toHexText(value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                                                 : plainText(value));
    case WireType::Memo:
        return memoText(value);
    case WireType::String:
    case WireType::Bytes:
        break;
    }
    if (value.typeId() == QMetaType::Double)
        return numberText(value);
    return plainText(value);
}

QByteArray ValueFormatter::plainText(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::QString:
        return m_codec.encode(value.toString());
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return dateText(value, value.typeId() == QMetaType::QDate   ? WireType::Date
                               : value.typeId() == QMetaType::QTime ? WireType::Time
                                                                    : WireType::DateTime);
    case QMetaType::Double:
        return doubleText(value.toDouble()).value_or(QByteArray());
    default:
        return m_codec.encode(value.toString());
    }
}

QByteArray ValueFormatter::integerText(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QByteArray::number(value.toULongLong());
    case QMetaType::Bool:
        return value.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18)
            return QByteArray::number(static_cast<long long>(d));
        return doubleText(d).value_or(QByteArray());
    }
    default:
        break;
    }
    // Exact decimals arrive as text ("20260101.000"); an integer column shows
    // them without the zero fraction.
    static const QRegularExpression integral(QStringLiteral("^\\s*([-+]?\\d+)(\\.0*)?\\s*$"));
    const QString text = value.toString();
    const QRegularExpressionMatch match = integral.match(text);
    if (match.hasMatch())
        return match.captured(1).toLatin1();
    return m_codec.encode(text);
}

std::optional<QByteArray> ValueFormatter::numberText(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        if (const auto text = doubleText(value.toDouble()))
            return text;
        return std::nullopt;
    case QMetaType::QString:
        return m_codec.encode(value.toString().trimmed());
    default:
        return plainText(value);
    }
}

namespace {

QDateTime parseStoredDateTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
        QDateTime dateTime = QDateTime::fromString(trimmed, format);
        if (dateTime.isValid())
            return dateTime;
    }
    // SQL writes a blank between date and time where ISO 8601 has a "T".
    if (trimmed.size() > 10 && trimmed[10] == u' ') {
        QString iso = trimmed;
        iso[10] = u'T';
        for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
            QDateTime dateTime = QDateTime::fromString(iso, format);
            if (dateTime.isValid())
                return dateTime;
        }
    }
    const QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (date.isValid())
        return QDateTime(date, QTime(0, 0));
    return {};
}

QTime parseStoredTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
        const QTime time = QTime::fromString(trimmed, format);
        if (time.isValid())
            return time;
    }
    return parseStoredDateTime(trimmed).time();
}

} // namespace

QByteArray ValueFormatter::dateText(const QVariant& value, WireType type) const
{
    QDate date;
    QTime time;
    switch (value.typeId()) {
    case QMetaType::QDate:
        date = value.toDate();
        time = QTime(0, 0);
        break;
    case QMetaType::QTime:
        time = value.toTime();
        break;
    case QMetaType::QDateTime: {
        const QDateTime dateTime = value.toDateTime();
        date = dateTime.date();
        time = dateTime.time();
        break;
    }
    default: {
        const QString text = value.toString();
        if (type == WireType::Time) {
            time = parseStoredTime(text);
        } else {
            const QDateTime dateTime = parseStoredDateTime(text);
            date = dateTime.date();
            time = dateTime.time();
        }
        break;
    }
    }
    switch (type) {
    case WireType::Date:
        if (date.isValid())
            return m_codec.encode(m_formats.dateText(date));
        break;
    case WireType::Time:
        if (time.isValid())
            return m_codec.encode(m_formats.timeText(time));
        break;
    default:
        if (date.isValid())
            return m_codec.encode(m_formats.dateTimeText(QDateTime(date, time.isValid() ? time : QTime(0, 0))));
        break;
    }
    // Not a date the server can read: pass the stored text on unchanged.
    return m_codec.encode(value.toString());
}

QByteArray ValueFormatter::memoText(const QVariant& value) const
{
    QByteArray bytes = value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                                                : m_codec.encode(value.toString());
    // The reader turns each byte 26 back into a line break (CR LF).
    bytes.replace("\r\n", "\x1a");
    bytes.replace('\n', '\x1a');
    return toHexText(bytes);
}

} // namespace lystra
