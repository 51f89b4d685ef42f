#include "platform/formatsettings.h"

#include <gtest/gtest.h>

using lystra::FormatSettings;

TEST(FormatSettings, SwedishTexts)
{
    const FormatSettings sv = FormatSettings::swedish();
    EXPECT_EQ(sv.decimalSeparator, QChar(u','));
    EXPECT_EQ(sv.dateText(QDate(2008, 3, 12)), QStringLiteral("2008-03-12"));
    EXPECT_EQ(sv.dateTimeText(QDateTime(QDate(2008, 3, 12), QTime(9, 5, 7))),
              QStringLiteral("2008-03-12 09:05:07"));
    // Midnight shows the date alone.
    EXPECT_EQ(sv.dateTimeText(QDateTime(QDate(2008, 3, 12), QTime(0, 0))),
              QStringLiteral("2008-03-12"));
}

TEST(FormatSettings, ParsesWhatItWrites)
{
    const FormatSettings sv = FormatSettings::swedish();
    EXPECT_EQ(sv.parseDate(u"2008-03-12"), QDate(2008, 3, 12));
    EXPECT_EQ(sv.parseTime(u"09:05:07"), QTime(9, 5, 7));
    EXPECT_EQ(sv.parseTime(u"09:05"), QTime(9, 5));
    EXPECT_EQ(sv.parseDateTime(u"2008-03-12 09:05:07"), QDateTime(QDate(2008, 3, 12), QTime(9, 5, 7)));
    EXPECT_EQ(sv.parseDateTime(u"2008-03-12"), QDateTime(QDate(2008, 3, 12), QTime(0, 0)));
    for (const char16_t* bad : {u"", u"12/03/2008", u"2008-13-01", u"2008-03-12 25:00:00"})
        EXPECT_FALSE(sv.parseDateTime(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(FormatSettings, FromQtLocaleHasNoTimeZone)
{
    const FormatSettings f = FormatSettings::fromLocale(QLocale(QLocale::Swedish, QLocale::Sweden));
    EXPECT_EQ(f.decimalSeparator, QChar(u','));
    EXPECT_EQ(f.shortDateFormat, QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(f.longTimeFormat, QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(f.dateSeparator, QChar(u'-'));
    EXPECT_EQ(f.timeSeparator, QChar(u':'));
}
