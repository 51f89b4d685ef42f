// The database manager without a server: where its settings come from, how
// it names the databases of each kind, and what it does when the server
// does not answer.

#include "db/tcsdatabase.h"
#include "db/tcssocketdriver.h"
#include "db/tdatabasemanager.h"
#include "platform/exception.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

// A loopback port that nothing listens on (taken and given back at once).
quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class RecordingFailureHandler : public TConnectFailureHandler {
public:
    void ShowError(const QString& message) override { messages << message; }
    void Terminate() override { ++terminations; }

    QStringList messages;
    int terminations = 0;
};

class DatabaseManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        TDatabaseManager::Reset();
        TDatabaseManager::SetProgramFile(m_folder.filePath(QStringLiteral("lystra")));
        TDatabaseManager::SetConnectFailureHandler(&m_handler);
        SettingsStore(QStringLiteral("Software\\QUORVIK")).deleteKey(QString());
    }
    void TearDown() override
    {
        TDatabaseManager::Reset();
        TDatabaseManager::SetConnectFailureHandler(nullptr);
        TDatabaseManager::SetProgramFile(QString());
        SettingsStore(QStringLiteral("Software\\QUORVIK")).deleteKey(QString());
    }

    // Writes the settings file beside the program; every test that may reach
    // for a server points it at a dead port, so that no gateway running on
    // this machine answers.
    void writeSettings(const QByteArray& text, const QString& name = QStringLiteral("lystra.ini"))
    {
        QFile file(m_folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray deadPortLines() const
    {
        return "[Lystra]\nPort=" + QByteArray::number(m_deadPort) +
               "\n[OpenServer]\nPort=" + QByteArray::number(m_deadPort) + "\n";
    }

    QTemporaryDir m_folder;
    RecordingFailureHandler m_handler;
    quint16 m_deadPort = deadPort();
};

TEST_F(DatabaseManagerTest, SettingsFileBesideTheProgramThenMorvane)
{
    const QString program = m_folder.filePath(QStringLiteral("lystra.exe"));
    EXPECT_TRUE(TDatabaseManager::SettingsFileFor(program).isEmpty()) << "no file: defaults only";

    writeSettings("[System]\n", QStringLiteral("Morvane.ini"));
    EXPECT_EQ(TDatabaseManager::SettingsFileFor(program),
              m_folder.filePath(QStringLiteral("Morvane.ini")));

    writeSettings("[System]\n", QStringLiteral("lystra.ini"));
    EXPECT_EQ(TDatabaseManager::SettingsFileFor(program),
              m_folder.filePath(QStringLiteral("lystra.ini")))
        << "the program's own file wins, its extension replaced";
    EXPECT_EQ(TDatabaseManager::SettingsFileFor(m_folder.filePath(QStringLiteral("lystra"))),
              m_folder.filePath(QStringLiteral("lystra.ini")))
        << "a program without extension";
}

TEST_F(DatabaseManagerTest, NoSettingsFileGivesTheLocalServerAndDefaults)
{
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("LYSTRA"));
    TDatabaseManager& manager = TDatabaseManager::Manager();
    EXPECT_TRUE(manager.SettingsFile().isEmpty());
    EXPECT_FALSE(manager.TraceSQL());
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_EQ(manager.ServerAddress(kind), u"127.0.0.1") << kind;
        EXPECT_EQ(manager.ServerPort(kind), 8888) << kind;
    }
    EXPECT_EQ(manager.DatabaseNameOf(dkHost), u"LYSTRA");
    EXPECT_EQ(manager.DatabaseNameOf(dkSql), u"LEVBAS");
    EXPECT_EQ(manager.DatabaseNameOf(dkOpen), u"DRIFT");
    EXPECT_EQ(manager.DatabaseNameOf(dkSpool), u"LYSTRA");
}

TEST_F(DatabaseManagerTest, SettingsAreReadWithIniRules)
{
    writeSettings("[system]\n"
                  "debugsql = 1\n"
                  "[LYSTRA]\n"
                  "VIDAZevivu =   10.0.0.7   \n"
                  "[OpenServer]\n"
                  "Server=open.example\n"
                  "Database= OPENDB\n"
                  "Port=9001\n"
                  "[BlobServer]\n"
                  "Database=BLOBS\n"
                  "[iSeries]\n"
                  "Database=HOSTDB\n"
                  "Database=SECOND\n");
    TDatabaseManager& manager = TDatabaseManager::Manager();
    EXPECT_TRUE(manager.TraceSQL());
    EXPECT_EQ(manager.ServerAddress(dkHost), u"10.0.0.7")
        << "blanks around the address are ignored";
    EXPECT_EQ(manager.ServerAddress(dkSql), u"10.0.0.7");
    EXPECT_EQ(manager.ServerAddress(dkSpool), u"10.0.0.7");
    EXPECT_EQ(manager.ServerAddress(dkOpen), u"open.example");
    EXPECT_EQ(manager.ServerPort(dkHost), 8888);
    EXPECT_EQ(manager.ServerPort(dkOpen), 9001);
    EXPECT_EQ(manager.DatabaseNameOf(dkHost), u"HOSTDB") << "the first of two equal keys counts";
    EXPECT_EQ(manager.DatabaseNameOf(dkSql), u"BLOBS");
    EXPECT_EQ(manager.DatabaseNameOf(dkOpen), u"OPENDB");
    EXPECT_EQ(manager.DatabaseNameOf(dkSpool), u"LYSTRA");
}

TEST_F(DatabaseManagerTest, DebugSqlReadsAsAnInteger)
{
    const struct {
        const char* value;
        bool expected;
    } cases[] = {{"1", true},  {"2", true},     {" 1 ", true},
                 {"0", false}, {"true", false}, {"", false}};
    for (const auto& c : cases) {
        TDatabaseManager::Reset();
        writeSettings(QByteArray("[System]\nDebugSQL=") + c.value + "\n");
        EXPECT_EQ(TDatabaseManager::Manager().TraceSQL(), c.expected) << c.value;
    }
}

TEST_F(DatabaseManagerTest, HostDatabaseNameSourcesInOrder)
{
    SettingsStore registry(QStringLiteral("Software\\QUORVIK"));
    registry.writeString(QString(), QStringLiteral("Current_iSeries_db_Name"),
                         QStringLiteral("REGDB"));
    registry.sync();

    const struct {
        const char* name;
        QString hostName;
        QByteArray settings;
        const char* expected;
    } cases[] = {
        {"host name first", QStringLiteral("LYSTRA"), "[iSeries]\nDatabase=HOSTDB\n", "LYSTRA"},
        {"settings file next", QString(), "[iSeries]\nDatabase=HOSTDB\n", "HOSTDB"},
        {"blank setting skipped", QString(), "[iSeries]\nDatabase=   \n", "REGDB"},
        {"registry value", QString(), "", "REGDB"},
    };
    for (const auto& c : cases) {
        TDatabaseManager::Reset();
        TDatabaseManager::SetHostDatabaseName(c.hostName);
        writeSettings(deadPortLines() + c.settings);
        EXPECT_EQ(TDatabaseManager::Manager().DatabaseNameOf(dkHost),
                  QString::fromLatin1(c.expected))
            << c.name;
    }

    // Without the registry value the server's custom data is asked; a server
    // that does not answer leaves the last default.
    registry.deleteKey(QString());
    registry.sync();
    TDatabaseManager::Reset();
    writeSettings(deadPortLines());
    EXPECT_EQ(TDatabaseManager::Manager().DatabaseNameOf(dkHost), u"QS36F");
}

TEST_F(DatabaseManagerTest, ResolvedNamesAreKeptUntilShutDown)
{
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("FIRST"));
    TDatabaseManager& manager = TDatabaseManager::Manager();
    EXPECT_EQ(manager.DatabaseNameOf(dkHost), u"FIRST");
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("LATER"));
    EXPECT_EQ(manager.DatabaseNameOf(dkHost), u"FIRST") << "resolved once, then kept";

    TDatabaseManager::ShutDown();
    EXPECT_TRUE(TDatabaseManager::HostDatabaseName().isEmpty());
    try {
        TDatabaseManager::Manager();
        FAIL() << "the manager is gone";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), u"dbManager shut-down in progress.");
    }
}

TEST_F(DatabaseManagerTest, OneDatabasePerKindWithItsConnectionValues)
{
    writeSettings("[Lystra]\nVIDAZevivu=10.0.0.7\nPort=" + QByteArray::number(m_deadPort) + "\n");
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("LYSTRA"));
    TDatabaseManager& manager = TDatabaseManager::Manager();

    TcsDatabase* sql = manager.Database(dkSql);
    EXPECT_EQ(manager.Database(dkSql), sql) << "asked twice, one object";
    EXPECT_EQ(sql->Tag(), dkSql);
    EXPECT_EQ(sql->Name(), u"SQL_DB");
    EXPECT_EQ(sql->Params().Values(u"UID"), u"QORVK");
    EXPECT_EQ(sql->Params().Values(u"PWD"), u"TRAVO");
    EXPECT_EQ(sql->RemoteDatasource(), u"LEVBAS");
    EXPECT_FALSE(sql->Connected()) << "Database() does not connect";

    TcsDatabase* host = manager.Database(dkHost);
    EXPECT_NE(host, sql);
    EXPECT_EQ(host->Name(), u"IBM_DB");
    EXPECT_EQ(host->DataBaseName(), u"IBM_DB");
    EXPECT_EQ(host->RemoteGateway(), u"10.0.0.7");
    EXPECT_EQ(host->RemoteDatasource(), u"LYSTRA");
    EXPECT_EQ(host->SocketDriver().Port(), m_deadPort);
    EXPECT_FALSE(host->Params().Contains(u"UID"));
    EXPECT_FALSE(host->Params().Contains(u"PWD"));
    EXPECT_FALSE(host->LoginPrompt());
    EXPECT_EQ(manager.Database(dkOpen)->Name(), u"OPEN_DB");
    EXPECT_EQ(manager.Database(dkSpool)->Name(), u"SPL_DB");

    EXPECT_THROW(manager.Database(4), Exception);
    EXPECT_THROW(manager.Database(-1), Exception);
}

TEST_F(DatabaseManagerTest, OverrideServerReplacesTheSettings)
{
    writeSettings("[Lystra]\nVIDAZevivu=10.0.0.7\nPort=7000\n");
    TDatabaseManager& manager = TDatabaseManager::Manager();
    manager.OverrideServer(QStringLiteral(" gateway.example "), 0);
    EXPECT_EQ(manager.ServerAddress(dkHost), u"gateway.example");
    EXPECT_EQ(manager.ServerPort(dkHost), 7000) << "port 0 keeps the setting";
    manager.OverrideServer(QString(), 9100);
    EXPECT_EQ(manager.ServerAddress(dkOpen), u"127.0.0.1");
    EXPECT_EQ(manager.ServerPort(dkOpen), 9100);
    TcsDatabase* spool = manager.Database(dkSpool);
    EXPECT_EQ(spool->SocketDriver().Port(), 9100);
}

TEST_F(DatabaseManagerTest, UnreachableServerShowsOneMessageAndEndsTheProgram)
{
    writeSettings(deadPortLines());
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("LYSTRA"));
    TDatabaseManager& manager = TDatabaseManager::Manager();
    EXPECT_FALSE(TDatabaseManager::TerminationRequested());

    TcsDatabase* database = manager.ConnectedDatabase(dkHost);
    ASSERT_NE(database, nullptr);
    EXPECT_FALSE(database->Connected());
    ASSERT_EQ(m_handler.messages.size(), 1);
    const QString message = m_handler.messages.first();
    EXPECT_TRUE(message.startsWith(u"Databasserver 127.0.0.1, LYSTRA svarar inte ...\r\n"))
        << qPrintable(message);
    EXPECT_TRUE(message.contains(u"Unable to connect to VIDAzevivu \"127.0.0.1\""))
        << qPrintable(message);
    EXPECT_EQ(m_handler.terminations, 1);
    EXPECT_TRUE(TDatabaseManager::TerminationRequested());
}

} // namespace
} // namespace lystra::test
