#include "platform/exception.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using lystra::IniFile;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kSettings = QByteArrayLiteral("; written by hand\n"
                                               "[Lystra]\n"
                                               "  VIDAZevivu =  10.0.0.7  \n"
                                               "Quoted=\" padded \"\n"
                                               "Single='x'\n"
                                               "Half=\"open\n"
                                               "no equals sign here\n"
                                               ";Commented=1\n"
                                               "Empty=\n"
                                               "vidazevivu=second entry\n"
                                               "\n"
                                               "[ iSeries ]\n"
                                               "Database=LYSTRA\n"
                                               "[lystra]\n"
                                               "Late=in the second Lystra section\n"
                                               "[System]\n"
                                               "DebugSQL=1\n"
                                               "Flag=true\n"
                                               "Zero=0\n"
                                               "Word=yes\n");

} // namespace

TEST(IniFile, ReadsWithWindowsRules)
{
    const IniFile ini = IniFile::fromBytes(kSettings);
    struct Case {
        const char* what;
        QString section;
        QString key;
        QString expected;
    };
    const Case cases[] = {
        {"blanks around name and value", u"LYSTRA"_s, u"vidazevivu"_s, u"10.0.0.7"_s},
        {"double quotes keep the blanks", u"Lystra"_s, u"Quoted"_s, u" padded "_s},
        {"single quotes", u"Lystra"_s, u"Single"_s, u"x"_s},
        {"unmatched quote stays", u"Lystra"_s, u"Half"_s, u"\"open"_s},
        {"empty value", u"Lystra"_s, u"Empty"_s, QString()},
        {"comment is no entry", u"Lystra"_s, u";Commented"_s, u"-"_s},
        {"line without = is no entry", u"Lystra"_s, u"no equals sign here"_s, u"-"_s},
        {"blanks inside brackets", u"iseries"_s, u"DATABASE"_s, u"LYSTRA"_s},
        {"only the first equal section counts", u"Lystra"_s, u"Late"_s, u"-"_s},
        {"missing section", u"Other"_s, u"Database"_s, u"-"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.readString(c.section, c.key, u"-"_s), c.expected) << c.what;
    EXPECT_EQ(ini.sections(), (QStringList{u"Lystra"_s, u"iSeries"_s, u"lystra"_s, u"System"_s}));
    EXPECT_EQ(ini.keys(u"lystra"_s), (QStringList{u"VIDAZevivu"_s, u"Quoted"_s, u"Single"_s,
                                                  u"Half"_s, u"Empty"_s, u"vidazevivu"_s}));

    EXPECT_TRUE(ini.readBool(u"System"_s, u"DebugSQL"_s, false));
    EXPECT_TRUE(ini.readBool(u"System"_s, u"Flag"_s, false));
    EXPECT_FALSE(ini.readBool(u"System"_s, u"Zero"_s, true));
    EXPECT_TRUE(ini.readBool(u"System"_s, u"Word"_s, true));
    EXPECT_EQ(ini.readInteger(u"System"_s, u"DebugSQL"_s, 7), 1);
    EXPECT_EQ(ini.readInteger(u"System"_s, u"Word"_s, 7), 7);
}

TEST(IniFile, WritingChangesOnlyItsOwnLines)
{
    IniFile ini = IniFile::fromBytes(QByteArrayLiteral("; top\r\n"
                                                       "[A] ; first\r\n"
                                                       "Left=1 ; keep\r\n"
                                                       "Top=2\r\n"
                                                       "; end of A\r\n"
                                                       "\r\n"
                                                       "[B]\r\n"
                                                       "X=y\r\n"));
    ini.writeString(u"a"_s, u"LEFT"_s, u"10"_s);   // existing entry, spelling kept
    ini.writeString(u"A"_s, u"Width"_s, u"300"_s); // after A's last entry
    ini.writeString(u"C"_s, u"New"_s, u"v"_s);     // a new section at the end
    EXPECT_TRUE(ini.isModified());
    EXPECT_EQ(ini.toBytes(), QByteArrayLiteral("; top\r\n"
                                               "[A] ; first\r\n"
                                               "Left=10\r\n"
                                               "Top=2\r\n"
                                               "Width=300\r\n"
                                               "; end of A\r\n"
                                               "\r\n"
                                               "[B]\r\n"
                                               "X=y\r\n"
                                               "[C]\r\n"
                                               "New=v\r\n"));
}

TEST(IniFile, EveryWritableValueReadsBack)
{
    const QString values[] = {u"plain"_s,          u"  lead and trail  "_s,
                              u"\"quoted\""_s,     u"'single'"_s,
                              u"a=b;c"_s,          u"\"half"_s,
                              QString(),           u"åäö €"_s,
                              u"[not a section]"_s};
    IniFile ini;
    for (const QString& v : values)
        ini.writeString(u"S"_s, u"K"_s, v);
    for (const QString& v : values) {
        ini.writeString(u"S"_s, u"K"_s, v);
        EXPECT_EQ(IniFile::fromBytes(ini.toBytes()).readString(u"S"_s, u"K"_s, u"-"_s), v)
            << v.toStdString();
    }
}

TEST(IniFile, RefusesWhatCouldNotBeReadBack)
{
    struct Case {
        const char* what;
        QString section;
        QString key;
        QString value;
    };
    const Case cases[] = {
        {"line break in value", u"S"_s, u"K"_s, u"one\n[Injected]\nKey=x"_s},
        {"carriage return in value", u"S"_s, u"K"_s, u"one\rtwo"_s},
        {"= in key", u"S"_s, u"a=b"_s, u"v"_s},
        {"key like a section", u"S"_s, u"[K]"_s, u"v"_s},
        {"key like a comment", u"S"_s, u";K"_s, u"v"_s},
        {"blank key", u"S"_s, u" K"_s, u"v"_s},
        {"empty key", u"S"_s, QString(), u"v"_s},
        {"] in section", u"S]x"_s, u"K"_s, u"v"_s},
        {"empty section", QString(), u"K"_s, u"v"_s},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::fromBytes(QByteArrayLiteral("[S]\nK=old\n"));
        EXPECT_THROW(ini.writeString(c.section, c.key, c.value), lystra::Exception) << c.what;
        EXPECT_EQ(ini.toBytes(), QByteArrayLiteral("[S]\nK=old\n")) << c.what;
    }
}

TEST(IniFile, FilesOnDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // Missing file: empty; saving creates the folder and the file.
    const QString fresh = dir.filePath(u"sub/folder/a_b.ini"_s);
    IniFile created(fresh);
    EXPECT_TRUE(created.sections().isEmpty());
    created.save(); // nothing changed: nothing written
    EXPECT_FALSE(QFile::exists(fresh));
    created.writeString(u"PrintFilesForm"_s, u"Height"_s, u"480"_s);
    created.save();
    EXPECT_EQ(IniFile(fresh).readString(u"printfilesform"_s, u"height"_s, {}), u"480"_s);

    // A file in the host code page (not UTF-8) reads right and is written as
    // UTF-8.
    const QString legacy = dir.filePath(u"legacy.ini"_s);
    QFile file(legacy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[S\xf6k]\nV\xe4g=\xe5\n");
    file.close();
    IniFile ini(legacy);
    EXPECT_EQ(ini.readString(u"Sök"_s, u"Väg"_s, {}), u"å"_s);
    ini.writeString(u"Sök"_s, u"Ny"_s, u"ö"_s);
    ini.save();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[Sök]\nVäg=å\nNy=ö\n"));

    // A name that exists but cannot be read (a folder) is not overwritten.
    IniFile unreadable(dir.path());
    unreadable.writeString(u"S"_s, u"K"_s, u"v"_s);
    EXPECT_THROW(unreadable.save(), lystra::Exception);
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}
