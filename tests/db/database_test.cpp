#include "errormessage.h"
#include "fakedriver.h"

#include "db/edatabaseerror.h"
#include "db/tcsdataset.h"
#include "db/tglobaldatabaselist.h"

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

using lystra::testsupport::messageOf;

TEST(DatabaseNames, ComponentNameBecomesTheDatabaseName)
{
    const int before = TGlobalDatabaseList::Instance().Count();
    FakeDatabase first(QStringLiteral("HOST_DB"));
    FakeDatabase second(QStringLiteral("HOST_DB"));
    EXPECT_EQ(first.DataBaseName(), u"HOST_DB");
    EXPECT_EQ(second.DataBaseName(), QStringLiteral("HOST_DB%1").arg(before + 2));
    EXPECT_EQ(TGlobalDatabaseList::Instance().Find(u"host_db"), &first);
    EXPECT_EQ(TGlobalDatabaseList::Instance().Find(second.DataBaseName()), &second);

    second.SetDataBaseName(QStringLiteral("host_db"));
    EXPECT_NE(second.DataBaseName(), u"host_db") << "a name another database has changes nothing";
    second.SetDataBaseName(QStringLiteral("RENAMED"));
    EXPECT_EQ(TGlobalDatabaseList::Instance().Find(u"RENAMED"), &second);
    EXPECT_EQ(TGlobalDatabaseList::Instance().Count(), before + 2);
}

TEST(DatabaseNames, LoadedDatabaseTakesItsComponentName)
{
    TcsCustomDatabase database;
    database.BeginLoading();
    database.SetName(QStringLiteral("LOADED_DB"));
    EXPECT_TRUE(database.DataBaseName().isEmpty());
    database.EndLoading();
    EXPECT_EQ(database.DataBaseName(), u"LOADED_DB");
    EXPECT_EQ(TGlobalDatabaseList::Instance().Find(u"LOADED_DB"), &database);
}

TEST(DatabaseNames, DestroyedDatabaseLeavesTheList)
{
    { FakeDatabase gone(QStringLiteral("GONE_DB")); }
    EXPECT_EQ(TGlobalDatabaseList::Instance().Find(u"GONE_DB"), nullptr);
}

TEST(Database, ConnectingRunsEventsAndTheDriver)
{
    FakeDatabase db(QStringLiteral("EVENTS_DB"));
    QStringList events;
    db.BeforeConnect = [&](TComponent*) { events << QStringLiteral("before"); };
    db.AfterConnect = [&](TComponent*) { events << QStringLiteral("after"); };
    db.OnLogin = [&](TcsCustomDatabase&, bool&) { events << QStringLiteral("login"); };
    db.BeforeDisconnect = [&](TComponent*) { events << QStringLiteral("before disconnect"); };
    db.AfterDisconnect = [&](TComponent*) { events << QStringLiteral("after disconnect"); };
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.driver.pool.size(), 1) << "the login connection is parked";
    db.Close();
    EXPECT_EQ(events, (QStringList{QStringLiteral("before"), QStringLiteral("login"), QStringLiteral("after"),
                                   QStringLiteral("before disconnect"), QStringLiteral("after disconnect")}));
    EXPECT_EQ(db.driver.LiveConnections(), 0);
}

TEST(Database, LoginCancelledStaysDisconnected)
{
    FakeDatabase db(QStringLiteral("CANCEL_DB"));
    int after = 0;
    db.AfterConnect = [&](TComponent*) { ++after; };
    db.OnLogin = [](TcsCustomDatabase&, bool& cancel) { cancel = true; };
    db.Open();
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(after, 1);
    EXPECT_EQ(db.driver.connects, 0);
}

TEST(Database, LoginDialogCancelAbortsSilently)
{
    FakeDatabase db(QStringLiteral("DIALOG_DB"));
    db.SetLoginPrompt(true);
    int shown = 0;
    TcsCustomDatabase::SetLoginDialog([&](TcsCustomDatabase& shownFor) {
        ++shown;
        EXPECT_EQ(&shownFor, &db);
        return false;
    });
    EXPECT_THROW(db.Open(), EAbort);
    TcsCustomDatabase::SetLoginDialog({});
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(db.Connected());
}

TEST(Database, ConnectedWhileLoadingIsAppliedAfterLoading)
{
    FakeDatabase db(QStringLiteral("STREAMED_DB"));
    db.BeginLoading();
    db.SetConnected(true);
    EXPECT_FALSE(db.Connected());
    db.EndLoading();
    EXPECT_TRUE(db.Connected());
}

TEST(Database, Errors)
{
    TcsCustomDatabase noDriver;
    EXPECT_EQ(messageOf([&] { noDriver.Open(); }), u"Database has no driver defined");

    FakeDatabase db(QStringLiteral("ERRORS_DB"));
    EXPECT_EQ(messageOf([&] { db.StartTransaction(); }), u"Operation invalid on closed database");
    EXPECT_EQ(messageOf([&] { db.Commit(); }), u"Operation invalid on closed database");
    EXPECT_EQ(messageOf([&] { db.InTransaction(); }), u"Operation invalid on closed database");
    db.Open();
    EXPECT_EQ(messageOf([&] { db.Commit(); }), u"No transaction active.");
    EXPECT_EQ(messageOf([&] { db.Rollback(); }), u"No transaction active.");
    db.StartTransaction();
    EXPECT_EQ(messageOf([&] { db.StartTransaction(); }),
              u"Transaction already started. Must Commit or Rollback before starting new transaction.");
    db.Commit();
    EXPECT_EQ(db.driver.transactionCommands, (QList<TcsTransactionCommand>{tcStart, tcCommit}));
}

TEST(Database, DisconnectRollsBackAndKeepsDatasetConnections)
{
    FakeDatabase db(QStringLiteral("DISCONNECT_DB"));
    FakeResult result;
    result.columns = {{QStringLiteral("A"), ftInteger}};
    result.rows = {{1}, {2}};
    db.driver.results.insert("select A", result);
    TcsQuery q;
    q.SetDataBaseName(QStringLiteral("DISCONNECT_DB"));
    q.SetSQLText("select A");
    q.Open();
    db.StartTransaction();
    db.Close();
    EXPECT_EQ(db.driver.transactionCommands.last(), tcRollback);
    ASSERT_NE(q.Connection(), nullptr) << "a dataset keeps its connection across a disconnect";
    EXPECT_GE(static_cast<FakeConnection*>(q.Connection())->clears, 1);
}

TEST(Database, ConnectErrorHandlerTurnsARefusedLoginIntoNoConnection)
{
    FakeDatabase db(QStringLiteral("REFUSED_DB"));
    db.driver.refuseLogin = true;
    EXPECT_EQ(messageOf([&] { db.Open(); }), u"Login refused");
    EXPECT_FALSE(db.Connected());

    QList<TComponent*> senders;
    db.OnConnectError = [&](TComponent* sender) { senders << sender; };
    TcsQuery q;
    q.SetDataBaseName(QStringLiteral("REFUSED_DB"));
    q.SetSQLText("select 1");
    EXPECT_EQ(messageOf([&] { q.Open(); }), u"Unable to acquire connection from driver");
    ASSERT_FALSE(senders.isEmpty());
    EXPECT_EQ(senders.first(), &db.driver);
}

TEST(Database, TraceHandlerReachesTheDriver)
{
    FakeDatabase db(QStringLiteral("TRACE_DB"));
    QByteArrayList traced;
    db.OnTraceSQL = [&](const QByteArray& text) { traced << text; };
    db.Execute("delete from T", nullptr, nullptr);
    EXPECT_EQ(traced, QByteArrayList{"0 ms |\tdelete from T"});
}

} // namespace
} // namespace lystra::test
