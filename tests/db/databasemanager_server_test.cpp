// The database manager against the real gateway server: the host database's
// name from the server's custom data, and connecting a kind.

#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tdatabasemanager.h"
#include "vidazevivuprocess.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

class NoFailureExpected : public TConnectFailureHandler {
public:
    void ShowError(const QString& message) override { messages << message; }
    void Terminate() override { ++terminations; }
    QStringList messages;
    int terminations = 0;
};

class DatabaseManagerServerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        VidazevivuProcess::Options options;
        options.initDemo = true;
        options.configText = "[CustomData]\nDB=LYSTRA\nOTHER=1\n";
        s_server = new VidazevivuProcess(options);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }

    void SetUp() override
    {
        TDatabaseManager::Reset();
        QFile settings(m_folder.filePath(QStringLiteral("lystra.ini")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Lystra]\nVIDAZevivu=" + s_server->host().toLatin1() +
                       "\nPort=" + QByteArray::number(s_server->port()) + "\n");
        settings.close();
        TDatabaseManager::SetProgramFile(m_folder.filePath(QStringLiteral("lystra")));
        TDatabaseManager::SetConnectFailureHandler(&m_handler);
    }
    void TearDown() override
    {
        TDatabaseManager::Reset();
        TDatabaseManager::SetConnectFailureHandler(nullptr);
        TDatabaseManager::SetProgramFile(QString());
    }

    QTemporaryDir m_folder;
    NoFailureExpected m_handler;
    static inline VidazevivuProcess* s_server = nullptr;
};

TEST_F(DatabaseManagerServerTest, HostDatabaseNameFromTheServersCustomData)
{
    TDatabaseManager& manager = TDatabaseManager::Manager();
    QByteArrayList info{"stale line"};
    manager.ServerInfo(info);
    EXPECT_EQ(info, (QByteArrayList{"DB=LYSTRA", "OTHER=1"}));
    EXPECT_EQ(manager.DatabaseNameOf(dkHost), u"LYSTRA");
}

TEST_F(DatabaseManagerServerTest, ConnectedDatabaseRunsQueriesUnderItsName)
{
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("LYSTRA"));
    TDatabaseManager& manager = TDatabaseManager::Manager();
    const QString name = manager.DatabaseName(dkHost);
    EXPECT_EQ(name, u"IBM_DB");
    TcsDatabase* database = manager.Database(dkHost);
    EXPECT_TRUE(database->Connected());
    EXPECT_EQ(manager.ConnectedDatabase(dkHost), database);

    TcsQuery query;
    query.SetDataBaseName(name);
    query.SetSQLText("select count(*) as N from CATALOG");
    query.Open();
    EXPECT_GT(query.FieldByName(u"N").AsInteger(), 0);
    EXPECT_TRUE(m_handler.messages.isEmpty());
    EXPECT_EQ(m_handler.terminations, 0);
}

TEST_F(DatabaseManagerServerTest, UnknownDatabaseNamesTheServerAndTheDatabase)
{
    TDatabaseManager::SetHostDatabaseName(QStringLiteral("NO_SUCH_DB"));
    TDatabaseManager& manager = TDatabaseManager::Manager();
    TcsDatabase* database = manager.ConnectedDatabase(dkHost);
    EXPECT_FALSE(database->Connected());
    ASSERT_EQ(m_handler.messages.size(), 1);
    EXPECT_TRUE(m_handler.messages.first().startsWith(
        u"Databasserver 127.0.0.1, NO_SUCH_DB svarar inte ...\r\n"))
        << qPrintable(m_handler.messages.first());
    EXPECT_EQ(m_handler.terminations, 1);
}

} // namespace
} // namespace lystra::test
