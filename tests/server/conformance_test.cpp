// The server checked from outside, with raw bytes: each exchange written the
// way a client independent of this server's code would expect it.

#include "rawconnection.h"
#include "vidazevivuprocess.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>

using lystra::test::VidazevivuProcess;

namespace {

// A server over one empty embedded database SCRATCH.
std::unique_ptr<VidazevivuProcess> scratchServer(const QByteArray& configText = {})
{
    VidazevivuProcess::Options options;
    options.configText = configText;
    auto server = std::make_unique<VidazevivuProcess>(options);
    QFile file(server->dataDir() + QStringLiteral("/SCRATCH.sqlite"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)); // an empty file is an empty database
    return server;
}

std::unique_ptr<RawConnection> openScratch(VidazevivuProcess& server)
{
    auto connection = std::make_unique<RawConnection>(server.host(), server.port());
    EXPECT_EQ(connection->command("open SCRATCH U P"), "200 OK\r\n");
    return connection;
}

// Sends each command and reads its reply, then `plainLines` further lines.
QByteArray exchange(RawConnection& connection, const QList<QByteArray>& commands, int plainLines)
{
    QByteArray answer;
    for (const QByteArray& command : commands)
        answer += connection.command(command);
    for (int i = 0; i < plainLines; ++i)
        answer += connection.line();
    return answer;
}

} // namespace

TEST(Conformance, EveryStatementFormReportsTheRowsOfItsOwnStatement)
{
    auto server = scratchServer();
    auto connection = openScratch(*server);
    ASSERT_EQ(connection->command("execsql2 create table R (K varchar(10))"), "200 0\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into R values ('a'), ('b'), ('c')"), "200 3\r\n");

    struct Case {
        QList<QByteArray> lines;
        int plainLines;
        QByteArray expected;
    };
    // Each runs right after an update of three rows: a statement that changes
    // no row must not report those three.
    const QList<Case> cases = {
        {{"execsql create table Q (A integer)"}, 2, "200 OK\r\n0\r\n0\r\n"},
        {{"sql drop table Q"}, 2, "201 OK\r\n0\r\n0\r\n"},
        {{"execsql2 pragma user_version=7"}, 0, "200 0\r\n"},
        {{"prep create table Q (A integer)", "exec "}, 2, "200 OK\r\n201 OK\r\n0\r\n.\r\n"},
        {{"execsql2 update R set K=K where K='none'"}, 0, "200 0\r\n"},
        {{"execsql drop table Q"}, 2, "200 OK\r\n0\r\n0\r\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(connection->command("execsql2 update R set K=K"), "200 3\r\n");
        EXPECT_EQ(exchange(*connection, c.lines, c.plainLines), c.expected) << c.lines.join(" / ").constData();
    }
    // A change that returns rows reports the rows it changed; a SELECT none.
    EXPECT_EQ(connection->command("execsql2 insert into R values ('d'), ('e') returning K"), "200 2\r\n");
    EXPECT_EQ(exchange(*connection, {"execsql delete from R where K > 'c' returning K"}, 2), "200 OK\r\n2\r\n0\r\n");
    EXPECT_EQ(connection->command("execsql2 select K from R"), "200 0\r\n");
    EXPECT_EQ(connection->command("execsql2 update R set K=K"), "200 3\r\n");
}

TEST(Conformance, SetConfigListEndsAtADotOrAtTheClientsNextCommand)
{
    auto server = scratchServer("[Server]\nAllowSetConfig=true\n[CustomData]\nDB=ARKIV\n");
    auto connection = openScratch(*server);
    const auto customData = [&] {
        EXPECT_EQ(connection->command("sys customdata "), "200 OK\r\n");
        return connection->lineList();
    };

    // The client sends its lines and nothing after them: its next command,
    // whatever it holds, is answered as a command.
    EXPECT_EQ(connection->command("sys setconfig"), "200 OK\r\n");
    connection->sendLine("DB=NYTT");
    EXPECT_EQ(customData(), (QList<QByteArray>{"DB=NYTT\r\n", ".\r\n"}));

    EXPECT_EQ(connection->command("sys setconfig"), "200 OK\r\n");
    connection->sendLine("X=1");
    EXPECT_TRUE(connection->command("sql select 'a=b' as \"K=V\"").startsWith("200-<fielddefs>"));
    EXPECT_EQ(connection->rows(), QList<QByteArray>{"a=b"});
    EXPECT_FALSE(connection->rows());

    // A "." ends the list as well and is not answered on its own.
    EXPECT_EQ(connection->command("sys setconfig"), "200 OK\r\n");
    connection->sendLine("Y=2");
    connection->sendLine(".");
    EXPECT_EQ(customData(), (QList<QByteArray>{"DB=NYTT\r\n", "X=1\r\n", "Y=2\r\n", ".\r\n"}));
}
