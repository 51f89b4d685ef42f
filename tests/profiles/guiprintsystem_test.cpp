#include "platform/gui/guiprintsystem.h"
#include "profiles/tuserparameters.h"

#include <QFontDatabase>

#include <gtest/gtest.h>

#include <algorithm>

using namespace lystra;
using namespace Qt::Literals::StringLiterals;

// The user parameters on the machine's own print system. Without a running
// print service there are no printers: the printer stays empty and the fonts
// come from the screen's font database.
TEST(GuiPrintSystem, UserParametersOnThisMachine)
{
    const GuiPrintSystem system;
    const QStringList printers = system.printerNames();
    const TUserParameters params(system);
    if (printers.isEmpty())
        EXPECT_EQ(params.PrinterName(), QString());
    else
        EXPECT_TRUE(printers.contains(params.PrinterName()));

    const QList<FontFamily> fonts = system.fixedPitchFonts();
    ASSERT_FALSE(fonts.isEmpty()); // fonts-liberation2 is installed with the build tools
    for (const FontFamily& font : fonts)
        EXPECT_TRUE(QFontDatabase::isFixedPitch(font.name)) << font.name.toStdString();
    // A family is listed once per writing system it covers.
    QStringList liberationSystems;
    for (const FontFamily& font : fonts) {
        if (font.name == u"Liberation Mono")
            liberationSystems.append(font.writingSystem);
    }
    EXPECT_TRUE(liberationSystems.contains(u"Latin"_s));
    EXPECT_TRUE(liberationSystems.contains(u"Cyrillic"_s));
    EXPECT_EQ(liberationSystems.removeDuplicates(), 0);
    const bool liberation = std::any_of(fonts.cbegin(), fonts.cend(), [](const FontFamily& f) {
        return f.name == u"Liberation Mono" && f.trueType;
    });
    EXPECT_TRUE(liberation);
    QList<FontFamily> listed;
    EXPECT_EQ(listed.value(params.ListFonts(listed)).name, params.FontName());
}
