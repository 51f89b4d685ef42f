#include "platform/formatsettings.h"

#include <QRegularExpression>

namespace lystra {

namespace {

// Qt's long time formats carry the time zone ("HH:mm:ss t"); a workstation's
// time format does not.
QString withoutTimeZone(QString format)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    return format.remove(zone).trimmed();
}

QChar firstNonLetter(const QString& format, QChar fallback)
{
    for (QChar c : format) {
        if (!c.isLetter())
            return c;
    }
    return fallback;
}

FormatSettings& currentInstance()
{
    static FormatSettings instance = FormatSettings::system();
    return instance;
}

} // namespace

FormatSettings FormatSettings::fromLocale(const QLocale& locale)
{
    FormatSettings f;
    f.decimalSeparator = locale.decimalPoint().at(0);
    const QString group = locale.groupSeparator();
    f.thousandSeparator = group.isEmpty() ? QChar(u' ') : group.at(0);
    f.shortDateFormat = locale.dateFormat(QLocale::ShortFormat);
    f.longDateFormat = locale.dateFormat(QLocale::LongFormat);
    f.shortTimeFormat = withoutTimeZone(locale.timeFormat(QLocale::ShortFormat));
    f.longTimeFormat = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    f.dateSeparator = firstNonLetter(f.shortDateFormat, QChar(u'-'));
    f.timeSeparator = firstNonLetter(f.longTimeFormat, QChar(u':'));
    f.currencySymbol = locale.currencySymbol();
    return f;
}

FormatSettings FormatSettings::swedish()
{
    FormatSettings f;
    f.decimalSeparator = QChar(u',');
    f.thousandSeparator = QChar(u'\u00a0');
    f.dateSeparator = QChar(u'-');
    f.timeSeparator = QChar(u':');
    f.shortDateFormat = QStringLiteral("yyyy-MM-dd");
    f.longDateFormat = QStringLiteral("d MMMM yyyy");
    f.shortTimeFormat = QStringLiteral("HH:mm");
    f.longTimeFormat = QStringLiteral("HH:mm:ss");
    f.currencySymbol = QStringLiteral("kr");
    return f;
}

const FormatSettings& FormatSettings::current()
{
    return currentInstance();
}

void FormatSettings::setCurrent(const FormatSettings& settings)
{
    currentInstance() = settings;
}

QString FormatSettings::dateText(QDate date) const
{
    return QLocale::c().toString(date, shortDateFormat);
}

QString FormatSettings::timeText(QTime time) const
{
    return QLocale::c().toString(time, longTimeFormat);
}

QString FormatSettings::dateTimeText(const QDateTime& dateTime) const
{
    const QTime time = dateTime.time();
    if (time == QTime(0, 0))
        return dateText(dateTime.date());
    return dateText(dateTime.date()) + u' ' + timeText(time);
}

std::optional<QDate> FormatSettings::parseDate(QStringView text) const
{
    const QDate date = QLocale::c().toDate(text.trimmed().toString(), shortDateFormat);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> FormatSettings::parseTime(QStringView text) const
{
    const QString trimmed = text.trimmed().toString();
    for (const QString& format : {longTimeFormat, shortTimeFormat}) {
        const QTime time = QLocale::c().toTime(trimmed, format);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

std::optional<QDateTime> FormatSettings::parseDateTime(QStringView text) const
{
    text = text.trimmed();
    if (const auto date = parseDate(text))
        return QDateTime(*date, QTime(0, 0));
    const qsizetype blank = text.indexOf(u' ');
    if (blank < 0)
        return std::nullopt;
    const auto date = parseDate(text.first(blank));
    const auto time = parseTime(text.sliced(blank + 1));
    if (!date || !time)
        return std::nullopt;
    return QDateTime(*date, *time);
}

} // namespace lystra
