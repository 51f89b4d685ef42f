#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace lystra {

// Date, time and number formats of the user's locale, taken once at start-up
// and read by the model wherever it formats or parses such values. Formats are
// Qt date/time patterns ("yyyy-MM-dd", "HH:mm:ss").
struct FormatSettings {
    QChar decimalSeparator;
    QChar thousandSeparator;
    QChar dateSeparator;
    QChar timeSeparator;
    QString shortDateFormat;
    QString longDateFormat;
    QString shortTimeFormat;
    QString longTimeFormat;
    QString currencySymbol;

    static FormatSettings fromLocale(const QLocale& locale);
    static FormatSettings system() { return fromLocale(QLocale::system()); }
    // Sweden's formats as a Swedish workstation has them: decimal comma, a
    // no-break space for grouping, yyyy-MM-dd and HH:mm:ss. Tests pin it.
    static FormatSettings swedish();

    // The process-wide formats; the system's until set.
    static const FormatSettings& current();
    static void setCurrent(const FormatSettings& settings);

    QString dateText(QDate date) const;
    QString timeText(QTime time) const;
    // The standard date-and-time text: the short date, a blank and the long
    // time; the time is left out when it is exactly midnight.
    QString dateTimeText(const QDateTime& dateTime) const;

    // Parse texts in the formats above; nullopt when the text does not parse.
    // A date-time accepts a date alone (midnight), or a date, a blank and a
    // time in the long or short time format.
    std::optional<QDate> parseDate(QStringView text) const;
    std::optional<QTime> parseTime(QStringView text) const;
    std::optional<QDateTime> parseDateTime(QStringView text) const;

    bool operator==(const FormatSettings&) const = default;
};

} // namespace lystra
