// The configuration file and the databases a connection may reach.

#include "server/databasecatalog.h"
#include "server/serverconfig.h"

#include "platform/exception.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lystra;

namespace {

ServerConfig configFrom(const char* text, const QString& baseDir = QStringLiteral("/srv/vz"))
{
    ServerConfig config;
    applyIniFile(config, IniFile::fromBytes(text), baseDir);
    return config;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
}

} // namespace

TEST(ServerConfig, ReadsEverySection)
{
    const ServerConfig config = configFrom(R"(; vidazevivu
[Server]
Listen = 0.0.0.0:9000
Data = data
MaxConnections = 50
MaxLineLength = 4096
Greeting = 200 VIDAZEVIVU 1.7
CodePage = windows-1252
DateFormat = dd.MM.yyyy
AllowSetConfig = yes

[Users]
QSECOFR = hemligt ord
ANNA = a;b=c

[Databases]
HOST = odbc-native:DSN=AS400;UID=Q;PWD=x
PG = Driver={PostgreSQL Unicode};Server=localhost;Database=lystra
ARKIV = sqlite:arkiv/ARKIV.sqlite

[CustomData]
DB = ARKIV
Company = Quorvik AB
)");
    EXPECT_EQ(config.listenHost, u"0.0.0.0");
    EXPECT_EQ(config.listenPort, 9000);
    EXPECT_EQ(config.dataDir, u"/srv/vz/data");
    EXPECT_EQ(config.maxConnections, 50);
    EXPECT_EQ(config.maxLineLength, 4096);
    EXPECT_EQ(config.greeting, "200 VIDAZEVIVU 1.7");
    EXPECT_EQ(config.dateFormat, u"dd.MM.yyyy");
    EXPECT_TRUE(config.allowSetConfig);
    ASSERT_EQ(config.users.size(), 2);
    EXPECT_EQ(config.users[0].password, u"hemligt ord");
    EXPECT_EQ(config.users[1].password, u"a;b=c");
    ASSERT_EQ(config.databases.size(), 3);
    EXPECT_EQ(config.databases[0].kind, DatabaseDefinition::Kind::Odbc);
    EXPECT_EQ(config.databases[0].target, u"DSN=AS400;UID=Q;PWD=x");
    EXPECT_FALSE(config.databases[0].adaptHostSql);
    EXPECT_EQ(config.databases[1].target, u"Driver={PostgreSQL Unicode};Server=localhost;Database=lystra");
    EXPECT_TRUE(config.databases[1].adaptHostSql);
    EXPECT_EQ(config.databases[2].kind, DatabaseDefinition::Kind::Sqlite);
    EXPECT_EQ(config.databases[2].target, u"/srv/vz/arkiv/ARKIV.sqlite");
    EXPECT_EQ(config.customData, (QStringList{QStringLiteral("DB=ARKIV"), QStringLiteral("Company=Quorvik AB")}));
}

TEST(ServerConfig, RefusesBadValues)
{
    const char* bad[] = {
        "[Server]\nMaxConnections=0\n",   "[Server]\nMaxConnections=many\n",
        "[Server]\nListen=127.0.0.1:99999\n", "[Server]\nAllowSetConfig=maybe\n",
        "[Server]\nNoSuchKey=1\n",         "[Databases]\nTWO WORDS=sqlite:x.sqlite\n",
    };
    for (const char* text : bad)
        EXPECT_THROW(configFrom(text), Exception) << text;

    ServerConfig config;
    config.codePage = "utf-8";
    EXPECT_THROW(validate(config), Exception); // the wire code page is single-byte
    config = ServerConfig();
    config.greeting = "200 two\r\nlines";
    EXPECT_THROW(validate(config), Exception);
    EXPECT_THROW(loadConfigFile(config, QStringLiteral("/nonexistent/vidazevivu.ini")), Exception);
}

TEST(ServerConfig, ListenAddresses)
{
    struct Case {
        const char* text;
        const char* host;
        quint16 port;
    };
    const Case cases[] = {
        {"127.0.0.1:8888", "127.0.0.1", 8888},
        {"[::1]:0", "::1", 0},
        {"9999", "127.0.0.1", 9999}, // a port alone stays on loopback
        {"localhost:1", "localhost", 1},
    };
    for (const Case& c : cases) {
        ServerConfig config;
        applyListenAddress(config, QString::fromLatin1(c.text));
        EXPECT_EQ(config.listenHost, QString::fromLatin1(c.host)) << c.text;
        EXPECT_EQ(config.listenPort, c.port) << c.text;
    }
    ServerConfig config;
    EXPECT_THROW(applyListenAddress(config, QStringLiteral(":80")), Exception);
    EXPECT_THROW(applyListenAddress(config, QStringLiteral("host:port")), Exception);
}

TEST(DatabaseCatalog, OnlyNamedDatabasesAndNoPaths)
{
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("data"));
    QDir().mkpath(data + QStringLiteral("/sub"));
    touch(data + QStringLiteral("/Lystra.sqlite"));
    touch(data + QStringLiteral("/arkiv.SQLITE"));
    touch(data + QStringLiteral("/notes.txt"));
    touch(data + QStringLiteral("/sub/HIDDEN.sqlite"));
    touch(root.filePath(QStringLiteral("SECRET.sqlite")));

    ServerConfig config;
    config.dataDir = data;
    config.databases.append({QStringLiteral("HOST"), DatabaseDefinition::Kind::Odbc, QStringLiteral("DSN=x"), false});
    config.databases.append({QStringLiteral("ARKIV"), DatabaseDefinition::Kind::Odbc, QStringLiteral("DSN=y"), true});
    const DatabaseCatalog catalog(config);

    ASSERT_TRUE(catalog.find(u"LYSTRA"));
    EXPECT_EQ(catalog.find(u"lystra")->target, data + QStringLiteral("/Lystra.sqlite"));
    EXPECT_EQ(catalog.find(u"host")->kind, DatabaseDefinition::Kind::Odbc);
    EXPECT_EQ(catalog.find(u"Arkiv")->target, u"DSN=y"); // the configuration wins over the folder
    const char16_t* refused[] = {u"notes",     u"../SECRET", u"SECRET",    u"sub/HIDDEN", u"HIDDEN",
                                 u"/etc/passwd", u"..",       u".sqlite",  u"",           u"LYSTRA\n"};
    for (const char16_t* name : refused)
        EXPECT_FALSE(catalog.find(QStringView(name))) << QString::fromUtf16(name).toStdString();
    EXPECT_EQ(catalog.names(), (QStringList{QStringLiteral("HOST"), QStringLiteral("ARKIV"), QStringLiteral("Lystra")}));
}
