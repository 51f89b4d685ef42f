#include "db/fieldbuffer.h"

#include "platform/convert.h"
#include "platform/exception.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace lystra::fieldbuffer {

namespace {

constexpr qint64 kMsPerDay = 86'400'000;

qint64 firstDayJulian()
{
    return QDate(1, 1, 1).toJulianDay();
}

template <typename T>
T load(const char* slot)
{
    T value;
    std::memcpy(&value, slot, sizeof value);
    return qFromLittleEndian(value);
}

template <typename T>
void store(char* slot, T value)
{
    value = qToLittleEndian(value);
    std::memcpy(slot, &value, sizeof value);
}

double loadDouble(const char* slot)
{
    return std::bit_cast<double>(load<quint64>(slot));
}

void storeDouble(char* slot, double value)
{
    store<quint64>(slot, std::bit_cast<quint64>(value));
}

[[noreturn]] void raiseInvalid(const QVariant& value, const char* what)
{
    const QByteArray text = displayText(value);
    throw EConvertError(QStringLiteral("'%1' is not a valid %2 value")
                            .arg(HostCodec::host().decode(text), QLatin1StringView(what)));
}

QByteArray hostText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return HostCodec::host().encode(value.toString());
    return displayText(value);
}

qint64 toInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return toInt64(value.toByteArray().trimmed());
    case QMetaType::QString:
        return toInt64(HostCodec::host().encode(value.toString()).trimmed());
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::abs(d) > 9.2e18)
            raiseInvalid(value, "integer");
        return std::llround(d);
    }
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        break;
    }
    bool ok = false;
    const qint64 result = value.toLongLong(&ok);
    if (!ok)
        raiseInvalid(value, "integer");
    return result;
}

double toFloat(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray || value.typeId() == QMetaType::QString) {
        // Typed numbers use the locale's decimal separator; the wire's "."
        // is taken as well.
        QString text = value.typeId() == QMetaType::QString
            ? value.toString()
            : HostCodec::host().decode(value.toByteArray());
        text = text.trimmed().replace(FormatSettings::current().decimalSeparator, u'.');
        return toDouble(text.toLatin1());
    }
    bool ok = false;
    const double result = value.toDouble(&ok);
    if (!ok)
        raiseInvalid(value, "floating point");
    return result;
}

bool toBoolean(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray || value.typeId() == QMetaType::QString) {
        const QByteArray text = hostText(value).trimmed().toLower();
        if (text == "true")
            return true;
        if (text == "false")
            return false;
        if (const auto number = parseInt64(text))
            return *number != 0;
        raiseInvalid(value, "boolean");
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return toInteger(value) != 0;
}

QDateTime toDateTime(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        return QDateTime(QDate(1899, 12, 30), value.toTime());
    case QMetaType::QByteArray:
    case QMetaType::QString: {
        const QString text = HostCodec::host().decode(hostText(value));
        const FormatSettings& formats = FormatSettings::current();
        if (const auto dateTime = formats.parseDateTime(text))
            return *dateTime;
        if (const auto time = formats.parseTime(text))
            return QDateTime(QDate(1899, 12, 30), *time);
        raiseInvalid(value, "date and time");
    }
    default:
        raiseInvalid(value, "date and time");
    }
}

int clampToInt(qint64 value, const QVariant& original)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        raiseInvalid(original, "integer");
    return static_cast<int>(value);
}

} // namespace

int slotWidth(TFieldType type, int size) noexcept
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return std::max(size, 0) + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
        return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
        return 8;
    case ftBCD:
        return 34;
    case ftBytes:
    case ftVarBytes:
        return std::max(size, 0);
    default:
        return isBlobType(type) ? 4 : 0;
    }
}

int dataSize(TFieldType type, int size) noexcept
{
    return type == ftWideString ? std::max(size, 0) : slotWidth(type, size);
}

int dayNumber(QDate date) noexcept
{
    if (!date.isValid())
        return 0;
    return static_cast<int>(date.toJulianDay() - firstDayJulian() + 1);
}

QDate dateOfDayNumber(int day)
{
    return QDate::fromJulianDay(firstDayJulian() + day - 1);
}

double timeStamp(const QDateTime& dateTime) noexcept
{
    return static_cast<double>(dayNumber(dateTime.date())) * kMsPerDay
        + dateTime.time().msecsSinceStartOfDay();
}

QDateTime dateTimeOfTimeStamp(double milliseconds)
{
    const auto total = static_cast<qint64>(std::llround(milliseconds));
    const qint64 day = total / kMsPerDay;
    const qint64 ms = total % kMsPerDay;
    return QDateTime(dateOfDayNumber(static_cast<int>(day)),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

QVariant read(TFieldType type, const char* slot, int size)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return QByteArray(slot, static_cast<qsizetype>(qstrnlen(slot, static_cast<uint>(size))));
    case ftSmallint:
        return int(load<qint16>(slot));
    case ftWord:
        return int(load<quint16>(slot));
    case ftBoolean:
        return load<quint16>(slot) != 0;
    case ftInteger:
    case ftAutoInc:
        return load<qint32>(slot);
    case ftDate:
        return dateOfDayNumber(load<qint32>(slot));
    case ftTime:
        return QTime::fromMSecsSinceStartOfDay(load<qint32>(slot));
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return loadDouble(slot);
    case ftDateTime:
        return dateTimeOfTimeStamp(loadDouble(slot));
    case ftLargeint:
        return qint64(load<qint64>(slot));
    case ftBytes:
    case ftVarBytes: {
        qsizetype n = size;
        while (n > 0 && slot[n - 1] == '\0')
            --n;
        return QByteArray(slot, n);
    }
    default:
        return {};
    }
}

QVariant convert(TFieldType type, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBytes:
    case ftVarBytes:
        return hostText(value);
    case ftSmallint: {
        const qint64 v = toInteger(value);
        if (v < -32768 || v > 32767)
            raiseInvalid(value, "integer");
        return int(v);
    }
    case ftWord: {
        const qint64 v = toInteger(value);
        if (v < 0 || v > 65535)
            raiseInvalid(value, "integer");
        return int(v);
    }
    case ftInteger:
    case ftAutoInc:
        return clampToInt(toInteger(value), value);
    case ftLargeint:
        return toInteger(value);
    case ftBoolean:
        return toBoolean(value);
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return toFloat(value);
    case ftDate:
        return toDateTime(value).date();
    case ftTime:
        return toDateTime(value).time();
    case ftDateTime:
        return toDateTime(value);
    default:
        if (isBlobType(type))
            return value.typeId() == QMetaType::QString ? hostText(value) : value.toByteArray();
        return {};
    }
}

void write(TFieldType type, const QVariant& value, char* slot, int size)
{
    const QVariant v = convert(type, value);
    std::memset(slot, 0, static_cast<size_t>(size));
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: {
        const QByteArray text = v.toByteArray();
        const qsizetype n = std::min<qsizetype>(text.size(), std::max(size - 1, 0));
        std::memcpy(slot, text.constData(), static_cast<size_t>(n));
        break;
    }
    case ftBytes:
    case ftVarBytes: {
        const QByteArray bytes = v.toByteArray();
        std::memcpy(slot, bytes.constData(), static_cast<size_t>(std::min<qsizetype>(bytes.size(), size)));
        break;
    }
    case ftSmallint:
        store<qint16>(slot, static_cast<qint16>(v.toInt()));
        break;
    case ftWord:
        store<quint16>(slot, static_cast<quint16>(v.toInt()));
        break;
    case ftBoolean:
        store<quint16>(slot, v.toBool() ? 1 : 0);
        break;
    case ftInteger:
    case ftAutoInc:
        store<qint32>(slot, v.toInt());
        break;
    case ftDate:
        store<qint32>(slot, dayNumber(v.toDate()));
        break;
    case ftTime:
        store<qint32>(slot, v.toTime().msecsSinceStartOfDay());
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        storeDouble(slot, v.toDouble());
        break;
    case ftDateTime:
        storeDouble(slot, timeStamp(v.toDateTime()));
        break;
    case ftLargeint:
        store<qint64>(slot, v.toLongLong());
        break;
    default:
        break;
    }
}

QByteArray displayText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    const FormatSettings& formats = FormatSettings::current();
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::QString:
        return HostCodec::host().encode(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? QByteArrayLiteral("True") : QByteArrayLiteral("False");
    case QMetaType::Double: {
        QByteArray text = QByteArray::number(value.toDouble(), 'g', 15);
        return text.replace('.', HostCodec::host().encode(formats.decimalSeparator));
    }
    case QMetaType::QDate:
        return HostCodec::host().encode(formats.dateText(value.toDate()));
    case QMetaType::QTime:
        return HostCodec::host().encode(formats.timeText(value.toTime()));
    case QMetaType::QDateTime:
        return HostCodec::host().encode(formats.dateTimeText(value.toDateTime()));
    default:
        return value.toByteArray();
    }
}

} // namespace lystra::fieldbuffer
