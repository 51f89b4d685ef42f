// Faulty clients, limits and logins: one connection's bad input is answered
// or ends that connection only, while the server keeps serving every other
// one and keeps its data whole.

#include "demoservers.h"
#include "rawconnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <memory>
#include <vector>

using lystra::test::VidazevivuProcess;

namespace {

std::unique_ptr<RawConnection> openedConnection(VidazevivuProcess& server, const QByteArray& login = "ANNA x")
{
    auto connection = std::make_unique<RawConnection>(server.host(), server.port());
    EXPECT_EQ(connection->command("open LYSTRA " + login), "200 OK\r\n");
    return connection;
}

// A connection that had nothing to do with the fault still gets whole answers.
void expectServed(RawConnection& bystander)
{
    ASSERT_TRUE(bystander.command("sql select count(*) from CATALOG where \"USER\"='ANNA'").startsWith("200"));
    EXPECT_EQ(bystander.rows(), QList<QByteArray>{"3"});
    EXPECT_FALSE(bystander.rows());
}

// Waits until the server's log holds `text` (connection threads log on their
// own time).
bool logShows(const VidazevivuProcess& server, const QByteArray& text)
{
    for (int i = 0; i < 200; ++i) {
        if (server.log().contains(text))
            return true;
        QThread::msleep(25);
    }
    return false;
}

} // namespace

class BadInput : public BackendTest {};

INSTANTIATE_TEST_SUITE_P(Backends, BadInput, ::testing::Values(Backend::Embedded), backendName);

TEST_P(BadInput, FaultyCommandsAreAnsweredAndTheConnectionGoesOn)
{
    struct Case {
        QByteArray line;
        QByteArray reply; // expected start of the reply
    };
    const Case cases[] = {
        // Control characters before the word are skipped like blanks.
        {QByteArray("\x01\x02\xff\xfe garbage \x7f", 13), "500 Unknown command: ??\r\n"},
        {QByteArray("\0\0\0\0", 4), "500 Empty command"},
        {QByteArray("sql\0select 1", 12), "500 Unknown command: sql?select"},
        {"FROBNICATE the table", "500 Unknown command: FROBNICATE"},
        {"selec * from CATALOG", "500 Unknown command: selec"},
        {"", "500 Empty command"},
        {"   \t ", "500 Empty command"},
        {"get 200", "503 No open result set"},
        {"info ", "503 No open result set"},
        {"exec a,b", "503 No prepared statement"},
        {"sql ", "512 "},
        {"sql select 1 from", "512 "},
        {"execsql2 ", "512 "},
        {"prep ", "512 "},
        {"tran", "501 Unknown transaction command"},
        {"sys", "501 "},
        {"open", "550 Unknown database"},
    };
    auto faulty = openedConnection(server());
    auto bystander = openedConnection(server());
    for (const Case& c : cases) {
        const QByteArray answer = faulty->command(c.line);
        EXPECT_TRUE(answer.startsWith(c.reply)) << c.line.toHex().constData() << " -> " << answer.constData();
        // One reply per line: the next command is answered in step.
        EXPECT_EQ(faulty->command("clear"), "200 OK\r\n") << c.line.toHex().constData();
    }
    ASSERT_TRUE(faulty->command("sql select 7").startsWith("200"));
    EXPECT_EQ(faulty->rows(), QList<QByteArray>{"7"});
    expectServed(*bystander);
}

TEST_P(BadInput, RowCountsMustBePositiveDecimalNumbers)
{
    auto connection = openedConnection(server());
    ASSERT_TRUE(connection->command("sql select FID from CATALOG where \"USER\"='ANNA' order by FID").startsWith("200"));
    for (const char* count : {"get abc", "get -1", "get 0", "get 1e3", "get 0x10", "get 2 3", "get ", "get 1.5"}) {
        EXPECT_TRUE(connection->command(count).startsWith("501 Invalid row count")) << count;
    }
    // None of them used up a row: the result set is where it was.
    EXPECT_EQ(connection->rows(1), QList<QByteArray>{"0000200001"});
    EXPECT_EQ(connection->rows(1), QList<QByteArray>{"0000200002"});
    // A count beyond any block asks for everything left.
    EXPECT_EQ(connection->command("get 99999999999999999999999"), "200 OK\r\n");
    EXPECT_EQ(connection->block(), QByteArray("0000200003", 11));
    EXPECT_FALSE(connection->rows());
}

TEST_P(BadInput, HugeStatementLineIsRefusedAndTheConnectionGoesOn)
{
    auto connection = openedConnection(server());
    auto bystander = openedConnection(server());
    connection->sendLine("sql select '" + QByteArray(100 << 20, 'x') + "'");
    EXPECT_EQ(connection->reply(), "500 Line too long (more than 1048576 bytes)\r\n");
    EXPECT_TRUE(logShows(server(), "line longer than 1048576 bytes refused"));
    expectServed(*connection);
    expectServed(*bystander);
}

TEST_P(BadInput, ClientsLeavingMidwayHurtNobodyElse)
{
    auto bystander = openedConnection(server());
    {
        // Asks for a block of 100 000 page rows of the big report and leaves
        // before reading it.
        auto leaver = openedConnection(server());
        ASSERT_TRUE(leaver->command("sql select FROW from ANNA where FID='0000200003'").startsWith("200"));
        leaver->sendLine("get 100000");
        leaver->socket().waitForReadyRead(5000);
    }
    {
        // Half a command line, then gone.
        RawConnection leaver(server().host(), server().port());
        leaver.send("open LYSTRA AN");
    }
    {
        // Half a batch, then gone: none of it may be kept.
        auto leaver = openedConnection(server());
        leaver->command("execsql2 drop table if exists T_LEFT");
        ASSERT_EQ(leaver->command("execsql2 create table T_LEFT (K VARCHAR(10))"), "200 0\r\n");
        leaver->send("sqlbatch\r\ninsert into T_LEFT values ('a')\r\ninsert into T_LEFT values ('b')\r\n");
    }
    expectServed(*bystander);
    QByteArray count;
    for (int i = 0; i < 100 && count != "0"; ++i) {
        ASSERT_TRUE(bystander->command("sql select count(*) from T_LEFT").startsWith("200"));
        count = bystander->rows().value_or(QList<QByteArray>{"?"}).value(0);
        bystander->command("clear");
        QThread::msleep(20);
    }
    EXPECT_EQ(count, "0");
    EXPECT_TRUE(server().isRunning());
}

TEST_P(BadInput, FailingStatementInsideATransactionLeavesNothingHalfDone)
{
    auto connection = openedConnection(server());
    auto observer = openedConnection(server());
    connection->command("execsql2 drop table if exists T_HALF");
    ASSERT_EQ(connection->command("execsql2 create table T_HALF (K VARCHAR(10) PRIMARY KEY, N INTEGER)"),
              "200 0\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_HALF values ('a', 1)"), "200 1\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_HALF values ('c', 3)"), "200 1\r\n");

    EXPECT_EQ(connection->command("tran start"), "200 OK\r\n");
    EXPECT_EQ(connection->command("execsql2 insert into T_HALF values ('b', 2)"), "200 1\r\n");
    // Renaming every key to 'b' succeeds for the first row it meets and fails
    // on the next: the statement as a whole must leave no trace.
    EXPECT_TRUE(connection->command("execsql2 update T_HALF set K='z' where K in ('a', 'c')").startsWith("512 "));
    EXPECT_TRUE(connection->command("execsql2 update T_HALF set N=N+10").startsWith("200 3"));
    // Nothing of the open transaction is visible to others before commit.
    ASSERT_TRUE(observer->command("sql select K, N from T_HALF order by K").startsWith("200"));
    EXPECT_EQ(observer->rows(), (QList<QByteArray>{"a,1", "c,3"}));
    observer->command("clear");
    EXPECT_EQ(connection->command("tran commit"), "200 OK\r\n");
    ASSERT_TRUE(observer->command("sql select K, N from T_HALF order by K").startsWith("200"));
    EXPECT_EQ(observer->rows(), (QList<QByteArray>{"a,11", "b,12", "c,13"}));
}

// Servers of their own: their options differ from the shared demo server's.
TEST(Limits, ConnectionsBeyondTheMaximumGetThe300Greeting)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.arguments = QStringList{QStringLiteral("--max-connections"), QStringLiteral("2")};
    VidazevivuProcess server(options);
    auto first = openedConnection(server);
    auto second = std::make_unique<RawConnection>(server.host(), server.port());
    EXPECT_EQ(second->greeting(), "200 VIDAZEVIVU 1.8\r\n");
    {
        RawConnection third(server.host(), server.port());
        EXPECT_TRUE(third.greeting().startsWith("300 ")) << third.greeting().constData();
        EXPECT_TRUE(third.closedByServer());
    }
    expectServed(*first);
    // A place that frees up is given to the next client.
    second.reset();
    QByteArray greeting;
    for (int i = 0; i < 100 && !greeting.startsWith("200"); ++i) {
        QThread::msleep(20);
        greeting = RawConnection(server.host(), server.port()).greeting();
    }
    EXPECT_EQ(greeting, "200 VIDAZEVIVU 1.8\r\n");
}

TEST(Limits, LineLimitIsConfigurable)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.arguments = QStringList{QStringLiteral("--max-line-length"), QStringLiteral("4096")};
    VidazevivuProcess server(options);
    auto connection = openedConnection(server);
    // "sql select '" and "'" are 13 bytes; the line end does not count.
    const QByteArray fits = "sql select '" + QByteArray(4096 - 13, 'y') + "'";
    ASSERT_TRUE(connection->command(fits).startsWith("200")) << "a line of exactly the limit is taken";
    EXPECT_EQ(connection->rows(), QList<QByteArray>{QByteArray(4096 - 13, 'y')});
    EXPECT_EQ(connection->command(fits + " "), "500 Line too long (more than 4096 bytes)\r\n");
    // Lines after a refused one are read from their own start.
    connection->send("sql select '" + QByteArray(10000, 'z') + "'\r\nsql select 8\r\n");
    EXPECT_EQ(connection->reply(), "500 Line too long (more than 4096 bytes)\r\n");
    ASSERT_TRUE(connection->reply().startsWith("200"));
    EXPECT_EQ(connection->rows(), QList<QByteArray>{"8"});
}

TEST(Security, LoginsAreCheckedWhenUsersAreConfigured)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.configText = "[Users]\nANNA=hemligt\nQSECOFR=Q s\xc3\xa4kert\n";
    VidazevivuProcess server(options);
    struct Case {
        QByteArray login;
        QByteArray reply;
    };
    const Case cases[] = {
        {"ANNA hemligt", "200 OK\r\n"},
        {"anna hemligt", "200 OK\r\n"},           // user names without regard to case
        {"QSECOFR Q s\xe4kert", "200 OK\r\n"},     // password with a blank, in the wire code page
        {"ANNA HEMLIGT", "530 Login failed\r\n"},  // passwords exactly
        {"ANNA hemligt ", "530 Login failed\r\n"},
        {"ANNA", "530 Login failed\r\n"},
        {"ERIK hemligt", "530 Login failed\r\n"},
        {"", "530 Login failed\r\n"},
    };
    for (const Case& c : cases) {
        RawConnection connection(server.host(), server.port());
        EXPECT_EQ(connection.command("open LYSTRA " + c.login), c.reply) << c.login.constData();
        if (!c.reply.startsWith("200")) {
            // Without a successful login nothing runs.
            EXPECT_EQ(connection.command("sql select 1"), "503 No database open\r\n");
            EXPECT_EQ(connection.command("sys tablenames "), "503 No database open\r\n");
        }
    }
    EXPECT_TRUE(server.log().contains("login refused for user \"ERIK\""));
    EXPECT_FALSE(server.log().contains("hemligt")) << "passwords never reach the log";
}

TEST(Security, OnlyALoggedInConnectionChangesTheSharedCustomData)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.configText = "[Server]\nAllowSetConfig=true\n[Users]\nANNA=hemligt\n[CustomData]\nDB=ARKIV\n";
    VidazevivuProcess server(options);
    const auto customData = [&server] {
        RawConnection reader(server.host(), server.port()); // read without a login
        EXPECT_EQ(reader.command("sys customdata "), "200 OK\r\n");
        return reader.lineList();
    };
    const QList<QByteArray> original = {"DB=ARKIV\r\n", ".\r\n"};

    // Never logged in, and after a refused login.
    for (const QByteArray& login : {QByteArray(), QByteArray("open LYSTRA ANNA fel")}) {
        RawConnection connection(server.host(), server.port());
        if (!login.isEmpty()) {
            ASSERT_EQ(connection.command(login), "530 Login failed\r\n");
        }
        EXPECT_EQ(connection.command("sys setconfig"), "530 Not logged in\r\n") << login.constData();
        // The line meant for the list is taken as a command, not as a setting.
        EXPECT_TRUE(connection.command("DB=HIJACK").startsWith("500 "));
        EXPECT_EQ(customData(), original);
    }

    RawConnection connection(server.host(), server.port());
    ASSERT_EQ(connection.command("open LYSTRA ANNA hemligt"), "200 OK\r\n");
    EXPECT_EQ(connection.command("sys setconfig"), "200 OK\r\n");
    connection.sendLine("DB=NYTT");
    EXPECT_EQ(connection.command("sys customdata "), "200 OK\r\n"); // ends the list
    EXPECT_EQ(connection.lineList(), (QList<QByteArray>{"DB=NYTT\r\n", ".\r\n"}));
    EXPECT_EQ(customData(), (QList<QByteArray>{"DB=NYTT\r\n", ".\r\n"}));
}

TEST(Security, ListensOnLoopbackUnlessTold)
{
    VidazevivuProcess::Options options;
    // Only a port: the address stays the loopback one.
    options.arguments = QStringList{QStringLiteral("--listen"), QStringLiteral("0")};
    VidazevivuProcess server(options);
    EXPECT_TRUE(server.log().contains("listening on 127.0.0.1:")) << server.log().constData();
}

TEST(Limits, BurstOfConnectionsIsGreetedEveryOne)
{
    // Hundreds of clients connecting at the same moment (a pool filling up)
    // must each get a greeting: none may be left waiting on a connection the
    // server never took.
    VidazevivuProcess server;
    constexpr int kClients = 400;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < kClients; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(server.host(), server.port());
    }
    int greeted = 0;
    const QDeadlineTimer deadline(20000);
    for (auto& socket : sockets) {
        while (!socket->canReadLine() && !deadline.hasExpired() &&
               socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
        }
        greeted += socket->readLine() == "200 VIDAZEVIVU 1.8\r\n" ? 1 : 0;
    }
    EXPECT_EQ(greeted, kClients);
}

TEST(Security, SqlCannotReachOtherFiles)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    VidazevivuProcess server(options);
    const QString outside = QDir(server.dataDir()).absoluteFilePath(QStringLiteral("../outside.sqlite"));
    auto connection = openedConnection(server);
    const QByteArray file = outside.toUtf8();
    const QList<QByteArray> statements = {
        "sql attach database '" + file + "' as o",
        "execsql2 attach database '" + file + "' as o",
        "execsql2 vacuum into '" + file + "'",
        "sql select load_extension('/lib/x86_64-linux-gnu/libc.so.6')",
        // The file name as an expression is not seen until the statement runs.
        "execsql2 attach database '" + file + "' || '' as o",
    };
    for (const QByteArray& statement : statements) {
        const QByteArray answer = connection->command(statement);
        EXPECT_TRUE(answer.startsWith("512 ")) << statement.constData() << " -> " << answer.constData();
    }
    // Nor when it is bound to a marker of a prepared statement.
    const QByteArray prepared = connection->command("prep attach database ? as e");
    if (prepared.startsWith("200")) {
        const QByteArray answer = connection->command("exec " + file);
        EXPECT_TRUE(answer.startsWith("512 ")) << answer.constData();
    } else {
        EXPECT_TRUE(prepared.startsWith("512 ")) << prepared.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(outside));
    // Compacting the database itself stays possible.
    EXPECT_EQ(connection->command("execsql2 vacuum"), "200 0\r\n");
    expectServed(*connection);
}
