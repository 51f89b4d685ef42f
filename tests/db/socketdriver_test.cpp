// The database layer against the real gateway server: connections are
// counted on the server's side, from the lines it logs per connection.

#include "errormessage.h"
#include "vidazevivuprocess.h"

#include "db/edatabaseerror.h"
#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tcssocketdriver.h"
#include "odbc/todbcclient.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

const char* const kConfig = "[Users]\nTESTER=secret\n\n[CustomData]\nDB=LYSTRA\n";
// The 2000-page report in ANNA's page-row table.
const QByteArray kBigReport = "select FPAGE, FLINE, FCTL, FROW from ANNA where FID='0000200003' order by FPAGE, FLINE";

// Connections the server holds open now: "#n connected" lines less "#n closed".
int serverConnections(const VidazevivuProcess& server)
{
    static const QRegularExpression connected(QStringLiteral(R"(#\d+ connected from)"));
    static const QRegularExpression closed(QStringLiteral(R"(#\d+ closed)"));
    const QString log = QString::fromUtf8(server.log());
    qsizetype open = 0;
    for (auto it = connected.globalMatch(log); it.hasNext(); it.next())
        ++open;
    for (auto it = closed.globalMatch(log); it.hasNext(); it.next())
        --open;
    return static_cast<int>(open);
}

// The server notices a close a moment after the client made it: waits up to
// five seconds for the count to become `expected` and answers the count.
int waitForConnections(const VidazevivuProcess& server, int expected)
{
    QElapsedTimer timer;
    timer.start();
    int count = serverConnections(server);
    while (count != expected && timer.elapsed() < 5000) {
        QThread::msleep(20);
        count = serverConnections(server);
    }
    return count;
}

using lystra::testsupport::messageOf;

class SocketDriverTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        VidazevivuProcess::Options options;
        options.initDemo = true;
        options.configText = kConfig;
        s_server = new VidazevivuProcess(options);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }

    void SetUp() override { ASSERT_EQ(waitForConnections(*s_server, 0), 0) << "a test left connections open"; }

    std::unique_ptr<TcsDatabase> database(const QString& password = QStringLiteral("secret"), int poolSize = 5)
    {
        auto db = std::make_unique<TcsDatabase>();
        db->SetName(QStringLiteral("SERVER_DB"));
        db->SetLoginPrompt(false);
        db->SetRemoteGateway(s_server->host());
        db->SetRemoteDatasource(QStringLiteral("LYSTRA"));
        db->Params().SetValues(u"UID", QStringLiteral("TESTER"));
        db->Params().SetValues(u"PWD", password);
        db->SocketDriver().SetPort(s_server->port());
        db->SetConnectionPoolSize(poolSize);
        return db;
    }

    static std::unique_ptr<TcsQuery> query(const TcsDatabase& db, const QByteArray& sql)
    {
        auto q = std::make_unique<TcsQuery>();
        q->SetDataBaseName(db.DataBaseName());
        q->SetSQLText(sql);
        return q;
    }

    static int connections(int expected) { return waitForConnections(*s_server, expected); }

    static inline VidazevivuProcess* s_server = nullptr;
};

TEST_F(SocketDriverTest, DefaultPoolParksTheLoginConnectionForTheFirstQuery)
{
    auto db = database();
    db->Open();
    EXPECT_EQ(connections(1), 1);
    ASSERT_EQ(db->SocketDriver().Pool().Count(), 1);
    TcsConnection* parked = db->SocketDriver().Pool().Get(0);

    auto q = query(*db, "select FID, FSTAT from CATALOG order by FID");
    q->Open();
    EXPECT_EQ(q->Connection(), parked);
    EXPECT_EQ(db->SocketDriver().Pool().Count(), 0);
    EXPECT_EQ(connections(1), 1);
    EXPECT_FALSE(q->FieldByName(u"FID").AsString().isEmpty());
}

TEST_F(SocketDriverTest, SixDatasetsWithPoolSizeFiveLeaveFiveParked)
{
    auto db = database();
    db->Open();
    std::vector<std::unique_ptr<TcsQuery>> queries;
    for (int i = 0; i < 6; ++i) {
        queries.push_back(query(*db, "select FID from CATALOG"));
        queries.back()->Open();
    }
    EXPECT_EQ(connections(6), 6);
    while (!queries.empty())
        queries.pop_back();
    EXPECT_EQ(db->SocketDriver().Pool().Count(), 5);
    EXPECT_EQ(connections(5), 5);
    db.reset();
    EXPECT_EQ(connections(0), 0);
}

TEST_F(SocketDriverTest, PoolSizeZeroKeepsNoConnection)
{
    auto db = database(QStringLiteral("secret"), 0);
    db->Open();
    EXPECT_EQ(connections(0), 0) << "connecting opens no lasting connection";
    auto q = query(*db, "select FID from CATALOG");
    q->Open();
    q->Last();
    EXPECT_EQ(connections(1), 1);
    q.reset();
    EXPECT_EQ(db->SocketDriver().Pool().Count(), 0);
    EXPECT_EQ(connections(0), 0);
}

TEST_F(SocketDriverTest, WrongPasswordFailsAtConnectUnlessReadOnly)
{
    auto db = database(QStringLiteral("wrong"));
    const QString atConnect = messageOf([&] { db->Open(); });
    EXPECT_NE(atConnect, u"(no error)");
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(db->SocketDriver().DriverConnected());

    db->SetReadOnly(true);
    db->Open();
    EXPECT_TRUE(db->Connected());
    auto q = query(*db, "select FID from CATALOG");
    EXPECT_EQ(messageOf([&] { q->Open(); }), atConnect) << "it fails at the first query instead";
    EXPECT_EQ(connections(0), 0);
}

TEST_F(SocketDriverTest, ConnectErrorHandlerTurnsARefusedLoginIntoNoConnection)
{
    auto db = database(QStringLiteral("wrong"));
    QList<TComponent*> senders;
    db->OnConnectError = [&](TComponent* sender) { senders << sender; };
    auto q = query(*db, "select FID from CATALOG");
    EXPECT_EQ(messageOf([&] { q->Open(); }), u"Unable to acquire connection from driver");
    ASSERT_FALSE(senders.isEmpty());
    EXPECT_EQ(senders.first(), &db->SocketDriver());
    EXPECT_FALSE(db->SocketDriver().DriverConnected()) << "the next acquire reads the values again";
    EXPECT_EQ(connections(0), 0);
}

TEST_F(SocketDriverTest, ServerErrorReachesTheCallerAndNothingLeaks)
{
    auto db = database();
    QByteArrayList traced;
    db->OnTraceSQL = [&](const QByteArray& text) { traced << text; };
    db->Open();
    auto q = query(*db, "select * from NO_SUCH_TABLE");
    QString message;
    try {
        q->Open();
        FAIL();
    } catch (const Exception& error) {
        message = error.message();
    }
    EXPECT_TRUE(message.contains(u"NO_SUCH_TABLE")) << message.toStdString();
    EXPECT_FALSE(q->Active());
    ASSERT_EQ(traced.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d+ ms \|\tselect \* from NO_SUCH_TABLE  $)"))
                    .match(QString::fromLatin1(traced.first()))
                    .hasMatch())
        << traced.first().toStdString();

    // The dataset's connection is still good for its next statement.
    q->SetSQLText("select FID from CATALOG");
    q->Open();
    EXPECT_FALSE(q->Eof());
    EXPECT_EQ(connections(1), 1);
    q.reset();
    EXPECT_EQ(db->SocketDriver().Pool().Count(), 1);
    EXPECT_EQ(connections(1), 1);
}

TEST_F(SocketDriverTest, ConnectionsComeBackWithoutHalfReadResults)
{
    auto db = database();
    db->SocketDriver().SetRowsPerFetch(20);
    // Destroyed in the middle of its rows: the connection is parked after a
    // clear and the next dataset reads its own result from the start.
    auto partly = query(*db, kBigReport);
    partly->Open();
    partly->MoveBy(30);
    TcsConnection* used = partly->Connection();
    partly.reset();
    ASSERT_EQ(db->SocketDriver().Pool().Count(), 1);

    auto next = query(*db, "select FID from CATALOG where FID='0000200001'");
    next->Open();
    EXPECT_EQ(next->Connection(), used);
    next->Last();
    EXPECT_EQ(next->RecordCount(), 1);
    EXPECT_EQ(next->FieldByName(u"FID").AsString(), "0000200001");

    // A failing statement without result set leaves the main connection
    // good for the next one, and no extra connection behind.
    auto failing = query(*db, "update NO_SUCH_TABLE set A=1");
    EXPECT_NE(messageOf([&] { failing->ExecSQL(); }), u"(no error)");
    auto working = query(*db, "update CATALOG set FSTAT=FSTAT where FID='0000200001'");
    working->ExecSQL();
    EXPECT_EQ(working->RowsAffected(), 1);
    EXPECT_EQ(connections(2), 2) << "the dataset's connection and the main connection";
    next.reset();
    failing.reset();
    working.reset();
    db.reset();
    EXPECT_EQ(connections(0), 0);
}

TEST_F(SocketDriverTest, FetchesOnDemandAndCountsRows)
{
    auto db = database();
    db->SocketDriver().SetRowsPerFetch(50);
    auto q = query(*db, kBigReport);
    q->Open();
    EXPECT_EQ(q->RecordCount(), 1);
    EXPECT_EQ(q->FieldByName(u"FPAGE").AsInteger(), 1);
    EXPECT_EQ(q->FieldByName(u"FROW").DataType(), ftString);
    q->MoveBy(120);
    EXPECT_EQ(q->RecordCount(), 121);
    q->Last();
    // After Last the count is the whole result, as the server counts it.
    auto count = query(*db, "select count(*) as N from ANNA where FID='0000200003'");
    count->Open();
    const int total = count->FieldByName(u"N").AsInteger();
    EXPECT_GT(total, 2000 * 40) << "2000 pages of ledger rows";
    EXPECT_EQ(q->RecordCount(), total);
    EXPECT_EQ(q->FieldByName(u"FPAGE").AsInteger(), 2000);
    EXPECT_TRUE(q->AllFetched());
}

TEST_F(SocketDriverTest, CacheToDiskKeepsTemporaryFilesWhileOpen)
{
    auto db = database();
    auto q = query(*db, kBigReport);
    q->SetExecuteOptions({eoCacheToDisk});
    q->Open();
    q->MoveBy(1000);
    const QString file = q->RecordCache()->FileName();
    EXPECT_TRUE(QFileInfo(file).fileName().startsWith(u"SQL"));
    EXPECT_TRUE(QFileInfo::exists(file));
    const QByteArray row = q->FieldByName(u"FROW").AsString();
    q->MoveBy(-500);
    q->MoveBy(500);
    EXPECT_EQ(q->FieldByName(u"FROW").AsString(), row);
    q->Close();
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(SocketDriverTest, ParametersRoundTripThroughTheServer)
{
    auto db = database();
    auto ddl = query(*db, "create table PARAMS (ID integer, NAME varchar(20), AMOUNT real, DAY date, NOTE varchar(40))");
    ddl->ExecSQL();
    auto insert = query(*db, "insert into PARAMS values (:ID, :NAME, :AMOUNT, :DAY, :NOTE)");
    insert->Params().ParamByName(u"ID").SetValue(1);
    insert->Params().ParamByName(u"NAME").SetAsString("O'Hara");
    insert->Params().ParamByName(u"AMOUNT").SetValue(1.5);
    insert->Params().ParamByName(u"DAY").SetValue(QDate(2026, 3, 7));
    insert->Params().ParamByName(u"NOTE").DataType = ftString; // stays NULL
    insert->ExecSQL();
    EXPECT_EQ(insert->RowsAffected(), 1);

    auto select = query(*db, "select NAME, AMOUNT, NOTE from PARAMS where NAME=:NAME and AMOUNT=:AMOUNT");
    select->Params().ParamByName(u"NAME").SetAsString("O'Hara");
    select->Params().ParamByName(u"AMOUNT").SetValue(1.5);
    select->Open();
    ASSERT_EQ(select->RecordCount(), 1);
    EXPECT_EQ(select->FieldByName(u"NAME").AsString(), "O'Hara");
    EXPECT_DOUBLE_EQ(select->FieldByName(u"AMOUNT").AsFloat(), 1.5);
    EXPECT_TRUE(select->FieldByName(u"NOTE").IsNull());

    auto drop = query(*db, "drop table PARAMS");
    drop->ExecSQL();
}

TEST_F(SocketDriverTest, PreparedStatementSendsValues)
{
    auto db = database();
    auto q = query(*db, "select FID, FSTAT from CATALOG where FID=:FID");
    q->Params().ParamByName(u"FID").SetAsString("0000200003");
    q->Prepare();
    q->Open();
    ASSERT_EQ(q->RecordCount(), 1);
    EXPECT_EQ(q->FieldByName(u"FID").AsString(), "0000200003");
    q->Close();
    q->Params().ParamByName(u"FID").SetAsString("0000200001");
    q->Open();
    EXPECT_EQ(q->FieldByName(u"FID").AsString(), "0000200001");
}

TEST_F(SocketDriverTest, GeneratedUpdatesAndTransactions)
{
    auto db = database();
    auto q = query(*db, "select FID, FSTAT, FTXT from CATALOG where FID='0000200001'");
    TUpdateParams params;
    params.TableName = QStringLiteral("CATALOG");
    params.KeyFields = {QStringLiteral("FID")};
    params.UpdateFields = {QStringLiteral("FSTAT")};
    q->SetUpdateParams(params);
    q->Open();
    const QByteArray before = q->FieldByName(u"FSTAT").AsString();

    db->StartTransaction();
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString(before == "V" ? "N" : "V");
    q->Post();
    db->Rollback();
    q->Close();
    q->Open();
    EXPECT_EQ(q->FieldByName(u"FSTAT").AsString(), before) << "rolled back";

    // Another user changed the row meanwhile: the old value no longer
    // matches and the update reports it.
    auto other = query(*db, "update CATALOG set FSTAT='X' where FID='0000200001'");
    other->ExecSQL();
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("Y");
    EXPECT_EQ(messageOf([&] { q->Post(); }), u"Update failed. No rows where affected by transaction.");
    q->Cancel();
    auto restore = query(*db, "update CATALOG set FSTAT=:S where FID='0000200001'");
    restore->Params().ParamByName(u"S").SetAsString(before);
    restore->ExecSQL();
    EXPECT_EQ(restore->RowsAffected(), 1);
}

TEST_F(SocketDriverTest, CatalogueRequests)
{
    auto db = database();
    db->Open();
    QByteArrayList tables;
    db->SocketDriver().GetTableNames("LYSTRA", tables);
    EXPECT_TRUE(tables.contains("CATALOG"));
    QByteArrayList custom;
    EXPECT_TRUE(db->GetCustomData(custom));
    EXPECT_TRUE(custom.contains("DB=LYSTRA"));
}

TEST(SocketDriverLost, ConnectionLostMidFetchIsAnError)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    VidazevivuProcess server(options);
    TcsDatabase db;
    db.SetName(QStringLiteral("LOST_DB"));
    db.SetLoginPrompt(false);
    db.SetRemoteGateway(server.host());
    db.SetRemoteDatasource(QStringLiteral("LYSTRA"));
    db.SocketDriver().SetPort(server.port());
    db.SocketDriver().SetRowsPerFetch(20);
    TcsQuery q;
    q.SetDataBaseName(db.DataBaseName());
    q.SetSQLText(kBigReport);
    q.Open();
    q.MoveBy(10);
    server.stop();
    EXPECT_THROW(q.Last(), Exception);
    EXPECT_FALSE(q.AllFetched()) << "not taken for the end of the rows";
    EXPECT_GE(q.RecordCount(), 11);
    EXPECT_LT(q.RecordCount(), 100);
}

} // namespace
} // namespace lystra::test
