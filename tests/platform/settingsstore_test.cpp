#include "platform/exception.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using lystra::SettingsStore;
using namespace Qt::Literals::StringLiterals;

namespace {

// Each test gets a configuration folder of its own.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    QTemporaryDir m_dir;
};

const QString kApp = SettingsStore::applicationPath();

} // namespace

TEST_F(SettingsStoreTest, NamesAndValuesComeBackFromTheFile)
{
    struct Case {
        const char* what;
        QString key;
        QString name;
        QString value;
    };
    const Case cases[] = {
        {"job key", u"Faktura-QPRINT-FAKT"_s, u"StoragePath"_s, u"C:\\Lager\\Fakturor"_s},
        {"printer below job", u"Faktura-QPRINT-FAKT\\@@srv@hp"_s, u"LeftOffset"_s, u"2,5"_s},
        {"slash in key name", u"A/B-X-Y"_s, u"Text"_s, u"a/b"_s},
        {"encoded-looking name", u"A%2FB-X-Y"_s, u"Text"_s, u"%2F"_s},
        {"list-looking value", u"K"_s, u"Caption"_s, u"a, b"_s},
        {"at sign value", u"K"_s, u"At"_s, u"@Variant(x)"_s},
        {"blanks kept", u"K"_s, u"Blanks"_s, u"  x  "_s},
        {"Swedish letters", u"Lön-QPRINT-LÖN"_s, u"Öl"_s, u"åäö"_s},
        {"empty value", u"K"_s, u"Empty"_s, QString()},
    };
    {
        SettingsStore store(kApp);
        for (const Case& c : cases)
            store.writeString(c.key, c.name, c.value);
        store.sync();
    }
    // Read a copy of the file, so that nothing comes from QSettings' cache.
    QTemporaryDir copy;
    ASSERT_TRUE(QDir().mkpath(copy.filePath(u"QUORVIK"_s)));
    ASSERT_TRUE(QFile::copy(path(u"QUORVIK/GUI.conf"_s), copy.filePath(u"QUORVIK/GUI.conf"_s)));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, copy.path());
    SettingsStore store(kApp);
    for (const Case& c : cases)
        EXPECT_EQ(store.readString(c.key, c.name, u"fallback"_s), c.value) << c.what;
    EXPECT_TRUE(store.subKeyNames(QString()).contains(u"A/B-X-Y"_s));
    EXPECT_EQ(store.subKeyNames(u"Faktura-QPRINT-FAKT"_s), QStringList{u"@@srv@hp"_s});
}

TEST_F(SettingsStoreTest, NamesCompareWithoutRegardToCase)
{
    SettingsStore store(kApp);
    store.writeString(u"Faktura-QPRINT-FAKT"_s, u"AutoPrint"_s, u"FALSE"_s);
    store.writeString(u"FAKTURA-qprint-fakt"_s, u"autoprint"_s, u"TRUE"_s);
    store.sync();

    SettingsStore reopened(kApp);
    EXPECT_EQ(reopened.subKeyNames(QString()), QStringList{u"Faktura-QPRINT-FAKT"_s});
    EXPECT_EQ(reopened.valueNames(u"faktura-qprint-fakt"_s), QStringList{u"AutoPrint"_s});
    EXPECT_EQ(reopened.readString(u"Faktura-QPRINT-FAKT"_s, u"AUTOPRINT"_s), u"TRUE"_s);
    EXPECT_TRUE(reopened.keyExists(u"\\faktura-QPRINT-fakt\\"_s));
}

TEST_F(SettingsStoreTest, KeysExistWhileTheyHoldSomething)
{
    SettingsStore store(kApp);
    store.writeString(u"Job\\Zeta"_s, u"PaperSource"_s, u"7"_s);
    store.writeString(u"Job\\alpha"_s, u"PaperSource"_s, u"1"_s);
    store.writeString(u"Job\\Beta\\Deeper"_s, u"X"_s, u"1"_s);
    // A value of the key with the same name as a subkey is a different thing.
    store.writeString(u"Job"_s, u"Zeta"_s, u"value"_s);

    EXPECT_TRUE(store.keyExists(u"Job"_s));
    EXPECT_TRUE(store.keyExists(u"Job\\Beta"_s)); // subkeys only
    EXPECT_FALSE(store.keyExists(u"Job\\Gamma"_s));
    EXPECT_FALSE(store.keyExists(u"Other\\Job"_s));
    EXPECT_EQ(store.subKeyNames(u"Job"_s), (QStringList{u"alpha"_s, u"Beta"_s, u"Zeta"_s}));
    EXPECT_TRUE(store.subKeyNames(u"Missing"_s).isEmpty());

    store.deleteKey(u"job\\zeta"_s);
    store.deleteKey(u"Job\\Missing"_s);
    store.sync();
    SettingsStore reopened(kApp);
    EXPECT_EQ(reopened.subKeyNames(u"Job"_s), (QStringList{u"alpha"_s, u"Beta"_s}));
    EXPECT_EQ(reopened.readString(u"Job"_s, u"Zeta"_s), u"value"_s);

    reopened.deleteKey(u"Job"_s);
    EXPECT_FALSE(reopened.keyExists(u"Job"_s));
    EXPECT_FALSE(reopened.keyExists(u"Job\\Beta\\Deeper"_s));
}

TEST_F(SettingsStoreTest, TypedReadsFallBackOnWhatDoesNotFit)
{
    SettingsStore store(kApp);
    store.writeString(u"K"_s, u"Five"_s, u" 5 "_s);
    store.writeString(u"K"_s, u"Word"_s, u"five"_s);
    store.writeString(u"K"_s, u"True"_s, u"TRUE"_s);
    store.writeString(u"K"_s, u"Huge"_s, u"99999999999"_s);
    store.writeInteger(u"K"_s, u"Int"_s, -12);
    store.writeBool(u"K"_s, u"Bool"_s, true);

    EXPECT_EQ(store.readInteger(u"K"_s, u"Five"_s, 0), 5);
    EXPECT_EQ(store.readInteger(u"K"_s, u"Word"_s, 42), 42);
    EXPECT_EQ(store.readInteger(u"K"_s, u"Huge"_s, 42), 42);
    EXPECT_EQ(store.readInteger(u"K"_s, u"Int"_s, 0), -12);
    EXPECT_EQ(store.readInteger(u"K"_s, u"Missing"_s, 42), 42);
    EXPECT_TRUE(store.readBool(u"K"_s, u"True"_s, false));
    EXPECT_TRUE(store.readBool(u"K"_s, u"Bool"_s, false));
    EXPECT_TRUE(store.readBool(u"K"_s, u"Word"_s, true));
    EXPECT_FALSE(store.readBool(u"K"_s, u"Word"_s, false));
    EXPECT_EQ(store.readString(u"K"_s, u"Missing"_s), std::nullopt);
    // An integer reads as the same text before and after the file is written.
    EXPECT_EQ(store.readString(u"K"_s, u"Int"_s), u"-12"_s);
}

TEST_F(SettingsStoreTest, CompanyKeyIsAFileOfItsOwn)
{
    {
        SettingsStore company(u"\\Software\\QUORVIK"_s);
        EXPECT_TRUE(company.location().endsWith(u"QUORVIK.conf"));
        company.writeString(QString(), u"Current_iSeries_db_Name"_s, u"LYSTRA"_s);
    }
    EXPECT_EQ(
        SettingsStore(u"Software\\QUORVIK"_s).readString(QString(), u"Current_iSeries_db_Name"_s),
        u"LYSTRA"_s);
    // The application's key is elsewhere and does not see it.
    EXPECT_FALSE(SettingsStore(kApp).valueExists(QString(), u"Current_iSeries_db_Name"_s));
}

TEST_F(SettingsStoreTest, RefusesPathsOutsideSoftwareAndReportsWriteFailures)
{
    EXPECT_THROW(SettingsStore(u"QUORVIK\\GUI"_s), lystra::Exception);
    EXPECT_THROW(SettingsStore(u"Software"_s), lystra::Exception);

    QFile blocker(path(u"blocker"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path(u"blocker/below"_s));
    SettingsStore store(kApp);
    store.writeString(u"K"_s, u"V"_s, u"x"_s);
    EXPECT_THROW(store.sync(), lystra::Exception);
}

TEST(SettingsStore, EscapedTextIsOneKeyName)
{
    EXPECT_EQ(SettingsStore::escapeKeyName(u"\\\\srv\\HP LaserJet"_s), u"@@srv@HP LaserJet"_s);
    EXPECT_EQ(SettingsStore::escapeKeyName(u"Faktura"_s), u"Faktura"_s);
}
