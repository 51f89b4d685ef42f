#include "controls/tcspropertysaver.h"
#include "platform/settingsstore.h"
#include "profiles/tuserparameters.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lystra;
using namespace Qt::Literals::StringLiterals;

namespace {

QList<FontFamily> fonts(std::initializer_list<QString> names)
{
    QList<FontFamily> list;
    for (const QString& name : names)
        list.append(FontFamily{name, true, u"Latin"_s});
    return list;
}

} // namespace

TEST(UserParameters, DefaultsFromThePrintSystem)
{
    const StaticPrintSystem none;
    const TUserParameters bare(none);
    EXPECT_EQ(bare.PrinterName(), QString()); // no printers installed
    EXPECT_EQ(bare.FontName(), QString());
    QList<FontFamily> list = fonts({u"x"_s});
    EXPECT_EQ(bare.ListFonts(list), -1);
    EXPECT_TRUE(list.isEmpty());

    const StaticPrintSystem installed({u"HP"_s, u"Canon"_s},
                                      fonts({u"DejaVu Sans Mono"_s, u"Courier New"_s}), u"Canon"_s);
    const TUserParameters params(installed);
    EXPECT_EQ(params.PrinterName(), u"Canon"_s);
    EXPECT_EQ(params.FontName(), u"Courier New"_s);
    EXPECT_EQ(params.ListFonts(list), 1);
    EXPECT_EQ(list.size(), 2);

    EXPECT_EQ(TUserParameters(StaticPrintSystem({u"HP"_s}, {})).PrinterName(), u"HP"_s);
}

// Which font is chosen for a stored font name, from a given fixed-pitch list.
TEST(UserParameters, FontSelection)
{
    struct Case {
        const char* what;
        QList<FontFamily> list;
        QString stored;
        int index;
        QString effective;
    };
    const Case cases[] = {
        {"stored font present", fonts({u"Courier"_s, u"Liberation Mono"_s}), u"Liberation Mono"_s,
         1, u"Liberation Mono"_s},
        {"exact match only", fonts({u"Courier"_s, u"Liberation Mono"_s}), u"liberation mono"_s, 0,
         u"Courier"_s},
        {"Courier before Courier New", fonts({u"Courier New"_s, u"Courier"_s}), u"Gone"_s, 1,
         u"Courier"_s},
        {"then Courier New", fonts({u"Liberation Mono"_s, u"Courier New"_s}), u"Gone"_s, 1,
         u"Courier New"_s},
        {"then the first", fonts({u"DejaVu Sans Mono"_s, u"Liberation Mono"_s}), u"Gone"_s, 0,
         u"Gone"_s},
        {"no fonts at all", {}, u" Gone "_s, -1, u"Gone"_s},
    };
    for (const Case& c : cases) {
        const StaticPrintSystem system({}, c.list);
        TUserParameters params(system);
        params.setFontName(c.stored);
        QList<FontFamily> listed;
        EXPECT_EQ(params.ListFonts(listed), c.index) << c.what;
        EXPECT_EQ(params.EffectiveFontName(), c.effective) << c.what;
    }
}

TEST(UserParameters, StoredUnderUserProperties)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    TcsPropertySaver saver;
    saver.setAppCompany(u"QUORVIK"_s);
    saver.setAppFamily(u"GUI"_s);
    saver.setAppName(u"Lystra"_s);

    const StaticPrintSystem system({u"HP"_s}, fonts({u"Courier"_s}));
    TUserParameters params(system);
    params.setFontName(u"Liberation Mono"_s);
    params.setPrinterName(u"\\\\srv\\HP"_s);
    saver.StoreObject(&params, u"UserProperties"_s);
    SettingsStore store(SettingsStore::applicationPath());
    EXPECT_EQ(store.valueNames(u"UserProperties"_s),
              (QStringList{u"FontName"_s, u"PrinterName"_s}));

    TUserParameters loaded(system);
    EXPECT_EQ(loaded.FontName(), u"Courier"_s);
    saver.LoadObject(&loaded, u"UserProperties"_s);
    EXPECT_EQ(loaded.FontName(), u"Liberation Mono"_s);
    EXPECT_EQ(loaded.PrinterName(), u"\\\\srv\\HP"_s);
}
