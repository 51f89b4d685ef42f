#include "controls/tcspropertysaver.h"
#include "platform/exception.h"
#include "platform/settingsstore.h"
#include "profiles/tjobprofile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lystra;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kJob = u"Faktura-QPRINT-FAKT"_s;
const QString kNetworkPrinter = u"\\\\srv\\HP LaserJet"_s;

// Job profiles against a settings folder of each test's own, through a saver
// with the program's application names.
class JobProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        m_saver.setAppCompany(u"QUORVIK"_s);
        m_saver.setAppFamily(u"GUI"_s);
        m_saver.setAppName(u"Lystra"_s);
        m_profile.setSaver(&m_saver);
    }

    // The values as they stand in the registry.
    static QString stored(const QString& key, const QString& name)
    {
        return SettingsStore(SettingsStore::applicationPath()).readString(key, name, u"-"_s);
    }
    static void store(const QString& key, const QString& name, const QString& value)
    {
        SettingsStore(SettingsStore::applicationPath()).writeString(key, name, value);
    }
    static bool exists(const QString& key)
    {
        return SettingsStore(SettingsStore::applicationPath()).keyExists(key);
    }

    QTemporaryDir m_dir;
    TcsPropertySaver m_saver;
    TJobProfile m_profile;
};

} // namespace

TEST(JobProfile, JobKeys)
{
    EXPECT_EQ(TJobProfile::JobKey(u"Faktura"_s, u"QPRINT"_s, u"FAKT"_s), kJob);
    EXPECT_EQ(TJobProfile::JobKey(u" Faktura  "_s, u"QPRINT "_s, u" FAKT"_s), kJob);
    EXPECT_EQ(TJobProfile::JobKey(u"Lön\\mars"_s, u"QPRINT"_s, QString()), u"Lön@mars-QPRINT-"_s);
}

TEST_F(JobProfileTest, SavesUnderTheJobKeyAndLoadsItBack)
{
    m_profile.Select(u"Faktura "_s, u"QPRINT"_s, u"FAKT"_s);
    EXPECT_EQ(m_profile.Key(), kJob);
    m_profile.setAutoPrint(true);
    m_profile.setStorageFormat(TJobProfile::sfPdf);
    m_profile.setStoragePath(u"C:\\Lager"_s);
    m_profile.setDefaultPrinterName(kNetworkPrinter);
    TJobPrinterProfile& printer = m_profile.PrinterProfile();
    printer.setPrinterName(kNetworkPrinter);
    printer.setLeftOffset(2.5);
    printer.setTopOffset(-1.0);
    printer.setUseOCRFont(false);
    printer.setPaperSource(260);
    printer.setOriantation(2);
    m_profile.Save();

    // The text forms: Booleans in capitals, the enumeration as its ordinal,
    // reals with the locale's decimal comma, the printer key without "\".
    EXPECT_EQ(stored(kJob, u"AutoPrint"_s), u"TRUE"_s);
    EXPECT_EQ(stored(kJob, u"DeleteAutoSave"_s), u"FALSE"_s);
    EXPECT_EQ(stored(kJob, u"StorageFormat"_s), u"2"_s);
    EXPECT_EQ(stored(kJob, u"DefaultPrinterName"_s), kNetworkPrinter);
    const QString printerKey = kJob + u"\\@@srv@HP LaserJet";
    EXPECT_EQ(stored(printerKey, u"LeftOffset"_s), u"2,5"_s);
    EXPECT_EQ(stored(printerKey, u"TopOffset"_s), u"-1"_s);
    EXPECT_EQ(stored(printerKey, u"UseOCRFont"_s), u"FALSE"_s);
    EXPECT_EQ(stored(printerKey, u"PaperSource"_s), u"260"_s);
    EXPECT_EQ(stored(printerKey, u"Oriantation"_s), u"2"_s);
    EXPECT_EQ(SettingsStore(SettingsStore::applicationPath()).valueNames(kJob).size(), 8);

    TJobProfile loaded;
    loaded.setSaver(&m_saver);
    loaded.Select(u"Faktura"_s, u"QPRINT"_s, u"FAKT"_s);
    EXPECT_TRUE(loaded.AutoPrint());
    EXPECT_EQ(loaded.StorageFormat(), TJobProfile::sfPdf);
    EXPECT_EQ(loaded.StoragePath(), u"C:\\Lager"_s);
    // Reached as the stored default printer, the name keeps its backslashes.
    EXPECT_EQ(loaded.DefaultPrinterName(), kNetworkPrinter);
    const TJobPrinterProfile& p = loaded.PrinterProfile();
    EXPECT_EQ(p.PrinterName(), kNetworkPrinter);
    EXPECT_EQ(p.LeftOffset(), 2.5);
    EXPECT_EQ(p.TopOffset(), -1.0);
    EXPECT_FALSE(p.UseOCRFont());
    EXPECT_EQ(p.PaperSource(), 260);
    EXPECT_EQ(p.Oriantation(), 2);
    EXPECT_FALSE(loaded.IsEmpty());
}

TEST_F(JobProfileTest, DefaultPrinterWithoutSettingsIsForgotten)
{
    store(kJob, u"DefaultPrinterName"_s, u"HP"_s);
    store(kJob, u"StoragePath"_s, u"C:\\Lager"_s);
    m_profile.Load(kJob);
    EXPECT_EQ(m_profile.DefaultPrinterName(), QString());
    EXPECT_EQ(m_profile.PrinterProfile().PrinterName(), QString());
    EXPECT_TRUE(m_profile.IsEmpty()); // a storage path alone does not count

    // Values of other names under the printer's key are no stored settings.
    store(kJob + u"\\HP", u"Comment"_s, u"x"_s);
    m_profile.Load(kJob);
    EXPECT_EQ(m_profile.DefaultPrinterName(), QString());
}

TEST_F(JobProfileTest, WithoutADefaultPrinterTheFirstPrinterWithSettingsIsTaken)
{
    store(kJob + u"\\Canon"_s, u"PaperSource"_s, u"3"_s);
    store(kJob + u"\\@@srv@HP"_s, u"PaperSource"_s, u"7"_s);
    m_profile.Load(kJob);
    // Reached by its key name, a network printer keeps the "@" characters.
    EXPECT_EQ(m_profile.DefaultPrinterName(), u"@@srv@HP"_s);
    EXPECT_EQ(m_profile.PrinterProfile().PaperSource(), 7);

    EXPECT_EQ(m_profile.SelectPrinter(u" Canon "_s), u"Canon"_s);
    EXPECT_EQ(m_profile.PrinterProfile().PrinterName(), u"Canon"_s);
    EXPECT_EQ(m_profile.PrinterProfile().PaperSource(), 3);
    m_profile.SelectPrinter(u"Brother"_s); // nothing stored: cleared
    EXPECT_TRUE(m_profile.PrinterProfile().IsEmpty());
}

TEST_F(JobProfileTest, OnlyCapitalBooleansAreRestored)
{
    store(kJob, u"AutoPrint"_s, u"true"_s);
    store(kJob, u"AutoSave"_s, u"TRUE"_s);
    m_profile.Load(kJob);
    EXPECT_FALSE(m_profile.AutoPrint());
    EXPECT_TRUE(m_profile.AutoSave());
}

TEST_F(JobProfileTest, StoredTextThatIsNoNumberIsReported)
{
    store(kJob + u"\\HP"_s, u"PaperSource"_s, u"tray"_s);
    EXPECT_THROW(m_profile.Load(kJob), EConvertError);
    store(kJob + u"\\HP"_s, u"PaperSource"_s, u"70000"_s);
    EXPECT_THROW(m_profile.Load(kJob), EConvertError);
}

TEST_F(JobProfileTest, RemovingAPrinter)
{
    // Two printers with settings; the job's default is the one removed.
    m_profile.Load(kJob);
    m_profile.setDefaultPrinterName(u"HP"_s);
    m_profile.PrinterProfile().setPrinterName(u"Canon"_s);
    m_profile.PrinterProfile().setPaperSource(3);
    m_profile.Save();
    m_profile.PrinterProfile().setPrinterName(u"HP"_s);
    m_profile.PrinterProfile().setLeftOffset(1.5);
    m_profile.Save();

    m_profile.Load(kJob);
    ASSERT_EQ(m_profile.PrinterProfile().PrinterName(), u"HP"_s);
    m_profile.Remove();
    EXPECT_EQ(m_profile.DefaultPrinterName(), QString());
    EXPECT_FALSE(exists(kJob + u"\\HP"));
    EXPECT_TRUE(exists(kJob)); // Canon's settings keep the job's key

    m_profile.Load(kJob); // now reaches Canon by its key
    ASSERT_EQ(m_profile.PrinterProfile().PrinterName(), u"Canon"_s);
    m_profile.setStoragePath(u"C:\\Lager"_s);
    m_profile.Remove();
    EXPECT_FALSE(exists(kJob)); // only a storage path left: empty, deleted
}

TEST_F(JobProfileTest, RemoveKeepsAJobThatStillHasSettings)
{
    m_profile.Load(kJob);
    m_profile.setPrintFormName(u"FAKT"_s);
    m_profile.Save();
    m_profile.Remove();
    EXPECT_TRUE(exists(kJob));
}

// A settings file damaged by hand or by another program: values that are
// no plain text leave the cleared values, lines that are no entries are
// skipped, and the text values around them still load.
TEST_F(JobProfileTest, DamagedSettingsFileLeavesClearedValues)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(u"QUORVIK"_s));
    QFile file(m_dir.filePath(u"QUORVIK/GUI.conf"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01\xff\xfe no entry\n"
               "[Lystra\n"
               "=no key\n"
               "[Lystra]\n"
               "Faktura-QPRINT-FAKT\\AutoPrint=TRUE, FALSE\n"
               "Faktura-QPRINT-FAKT\\PrintFormName=@Rect(1 2 3 4)\n"
               "Faktura-QPRINT-FAKT\\AutoSave=TRUE\n"
               "Faktura-QPRINT-FAKT\\HP\\PaperSource=@Variant(\\0\\0)\n"
               "Faktura-QPRINT-FAKT\\HP\\UseOCRFont=FALSE\n"
               "\xc3\n"
               "Faktura-QPRINT-FAKT\\StoragePath=\"C:\\\\Lager\n"); // quote never closed
    file.close();

    m_profile.Load(kJob);
    EXPECT_FALSE(m_profile.AutoPrint()); // a list, not text
    EXPECT_EQ(m_profile.PrintFormName(), QString());
    EXPECT_TRUE(m_profile.AutoSave());
    EXPECT_EQ(m_profile.DefaultPrinterName(), u"HP"_s);
    EXPECT_EQ(m_profile.PrinterProfile().PaperSource(), 0);
    EXPECT_FALSE(m_profile.PrinterProfile().UseOCRFont());
    EXPECT_TRUE(m_profile.StoragePath().startsWith(u"C:\\Lager"_s));
}

TEST_F(JobProfileTest, WithoutASaverNothingHappens)
{
    store(kJob, u"AutoPrint"_s, u"TRUE"_s);
    TJobProfile profile;
    profile.Load(kJob);
    EXPECT_EQ(profile.Key(), QString());
    EXPECT_FALSE(profile.AutoPrint());
    profile.setAutoSave(true);
    profile.Save();
    profile.Remove();
    EXPECT_EQ(stored(u"TJobProfile"_s, u"AutoSave"_s), u"-"_s);
    EXPECT_EQ(stored(kJob, u"AutoPrint"_s), u"TRUE"_s);
}

TEST(JobProfile, WhatCountsAsEmpty)
{
    struct Case {
        const char* what;
        void (*change)(TJobProfile&);
        bool empty;
    };
    const Case cases[] = {
        {"cleared", [](TJobProfile&) {}, true},
        {"storage path", [](TJobProfile& p) { p.setStoragePath(u"x"_s); }, true},
        {"delete after save", [](TJobProfile& p) { p.setDeleteAutoSave(true); }, true},
        {"storage format", [](TJobProfile& p) { p.setStorageFormat(TJobProfile::sfText); }, true},
        {"orientation", [](TJobProfile& p) { p.PrinterProfile().setOriantation(2); }, true},
        {"auto print", [](TJobProfile& p) { p.setAutoPrint(true); }, false},
        {"delete after print", [](TJobProfile& p) { p.setDeleteAutoPrint(true); }, false},
        {"auto save", [](TJobProfile& p) { p.setAutoSave(true); }, false},
        {"form", [](TJobProfile& p) { p.setPrintFormName(u"F"_s); }, false},
        {"default printer", [](TJobProfile& p) { p.setDefaultPrinterName(u"HP"_s); }, false},
        {"printer", [](TJobProfile& p) { p.PrinterProfile().setPrinterName(u"HP"_s); }, false},
        {"no OCR font", [](TJobProfile& p) { p.PrinterProfile().setUseOCRFont(false); }, false},
        {"tiny offset", [](TJobProfile& p) { p.PrinterProfile().setTopOffset(0.01); }, false},
        {"paper source", [](TJobProfile& p) { p.PrinterProfile().setPaperSource(1); }, false},
    };
    for (const Case& c : cases) {
        TJobProfile profile;
        c.change(profile);
        EXPECT_EQ(profile.IsEmpty(), c.empty) << c.what;
    }

    // Clear keeps the storage path and the delete-after-save flag.
    TJobProfile profile;
    profile.setStoragePath(u"x"_s);
    profile.setDeleteAutoSave(true);
    profile.setAutoSave(true);
    profile.PrinterProfile().setOriantation(1);
    profile.Clear();
    EXPECT_EQ(profile.StoragePath(), u"x"_s);
    EXPECT_TRUE(profile.DeleteAutoSave());
    EXPECT_FALSE(profile.AutoSave());
    EXPECT_EQ(profile.PrinterProfile().Oriantation(), 0);
}
