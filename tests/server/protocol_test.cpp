// Every command of the protocol against the running server, with the exact
// bytes of its replies, on the embedded backend and through ODBC.

#include "demoservers.h"
#include "rawconnection.h"

#include "odbc/odbcprotocol.h"
#include "odbc/todbcfield.h"

#include <QThread>

using lystra::test::VidazevivuProcess;

namespace {

std::unique_ptr<RawConnection> connectTo(VidazevivuProcess& server, const QByteArray& database = "LYSTRA")
{
    auto connection = std::make_unique<RawConnection>(server.host(), server.port());
    if (!database.isEmpty()) {
        EXPECT_EQ(connection->command("open " + database + " QSECOFR secret"), "200 OK\r\n");
    }
    return connection;
}

// The reply text the client sees: each line without its first four
// characters, joined with CR LF.
QByteArray replyText(const QByteArray& reply)
{
    QByteArray text;
    for (const QByteArray& line : reply.split('\n')) {
        if (line.size() >= 4)
            text += line.sliced(4).trimmed() + "\r\n";
    }
    return text;
}

// A table of the test's own, empty: K text key, N integer.
void freshTable(RawConnection& connection, const QByteArray& name)
{
    connection.command("execsql2 drop table if exists " + name);
    EXPECT_EQ(connection.command("execsql2 create table " + name + " (K VARCHAR(10) PRIMARY KEY, N INTEGER)"),
              "200 0\r\n");
}

QByteArray countOf(RawConnection& connection, const QByteArray& table)
{
    EXPECT_TRUE(connection.command("sql select count(*) from " + table).startsWith("200"));
    const auto rows = connection.rows();
    return rows && rows->size() == 1 ? rows->first() : QByteArray("?");
}

} // namespace

class Protocol : public BackendTest {};

INSTANTIATE_TEST_SUITE_P(Backends, Protocol, ::testing::Values(Backend::Embedded, Backend::Odbc), backendName);

TEST_P(Protocol, GreetingAndOpen)
{
    RawConnection connection(server().host(), server().port());
    EXPECT_EQ(connection.greeting(), "200 VIDAZEVIVU 1.8\r\n");
    EXPECT_EQ(connection.command("open lystra anna"), "200 OK\r\n"); // any case, empty password
    // Only names the server lists open; nothing is a path.
    for (const char* name : {"NOPE", "../data/LYSTRA", "/etc/passwd", "LYSTRA.sqlite", "data/LYSTRA", ".."})
        EXPECT_TRUE(connection.command(QByteArray("open ") + name + " ANNA x").startsWith("550 ")) << name;
    // A refused open leaves the open database as it was.
    EXPECT_TRUE(connection.command("sql select count(*) from CATALOG").startsWith("200"));
}

TEST_P(Protocol, QueryWithInlineDocumentAndRowBlocks)
{
    auto connection = connectTo(server());
    const QByteArray reply = connection->command(
        "sql select FID, FPAGES, FCPI, FSTAT, FTXT, \"USER\" from CATALOG where UPPER(\"USER\")='ANNA' "
        "order by FDATE desc, FTIME desc");
    ASSERT_TRUE(reply.startsWith("200-<fielddefs>\r\n")) << reply.constData();
    const lystra::TODBCFieldList fields = lystra::readFieldDefs(replyText(reply));
    ASSERT_EQ(fields.size(), 6);
    const char* types[] = {"string", "int32", "string", "string", "string", "string"};
    const int sizes[] = {10, 0, 5, 1, 50, 10};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fields[i].field.DataType, types[i]) << i;
        EXPECT_EQ(fields[i].field.Size, sizes[i]) << i;
    }
    EXPECT_EQ(fields[5].field.Name, "USER");
    EXPECT_EQ(fields[0].field.Origin, "CATALOG.FID");
    EXPECT_EQ(fields[5].field.Origin, "CATALOG.USER");

    // Blocks of at most the asked number of rows, newest first, then 522.
    const auto first = connection->rows(2);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (QList<QByteArray>{"0000200003,2000,15,\" \",\"Huvudbok hel\xe5r 2025 (2000 sidor)\",ANNA",
                                         "0000200002,3,15,\" \",\"Verifikationslista vecka 46\",ANNA"}));
    const auto second = connection->rows(2);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, QList<QByteArray>{"0000200001,3,15,V,\"Huvudbok oktober 2025\",ANNA"});
    EXPECT_EQ(connection->command("get 2"), "522 No more rows\r\n");
    EXPECT_EQ(connection->command("get 2"), "522 No more rows\r\n");
}

TEST_P(Protocol, LongDocumentTravelsInAnInfoBlock)
{
    auto connection = connectTo(server());
    EXPECT_EQ(connection->command("sql select C.*, D.* from CATALOG C, CATALOG D where C.FID=D.FID and C.FID='0000100001'"),
              "200 OK\r\n");
    EXPECT_EQ(connection->command("info "), "200 OK\r\n");
    const lystra::TODBCFieldList fields = lystra::readFieldDefs(connection->block());
    EXPECT_EQ(fields.size(), 30);
    const auto rows = connection->rows();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(lystra::odbc::splitRowText(rows->first()).size(), 30);
    EXPECT_FALSE(connection->rows());
}

TEST_P(Protocol, NullsQuotingAndEmptyValues)
{
    auto connection = connectTo(server());
    ASSERT_TRUE(connection->command("sql select NULL as N, '' as E, 'a b' as B, 'x,y' as C, 'q\"q' as Q, "
                                    "'plain' as P, 'Bokf\xf6rt' as S from CATALOG where FID='0000100001'")
                    .startsWith("200"));
    const auto rows = connection->rows();
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, QList<QByteArray>{"\xff,\"\",\"a b\",\"x,y\",\"q\"\"q\",plain,Bokf\xf6rt"});
}

TEST_P(Protocol, FailingStatementsAnswer512AndTheConnectionGoesOn)
{
    auto connection = connectTo(server());
    const QByteArray query = connection->command("sql select * from NOPE");
    EXPECT_TRUE(query.startsWith("512 ")) << query.constData();
    EXPECT_TRUE(query.contains("no such table")) << query.constData();
    EXPECT_TRUE(connection->command("execsql2 delete from NOPE").startsWith("512 "));
    EXPECT_TRUE(connection->command("execsql delete from NOPE").startsWith("512 "));
    // Texts that say what went wrong, also where the engine itself gave none.
    EXPECT_EQ(connection->command("sql "), "512 No query\r\n");
    EXPECT_EQ(connection->command("prep   "), "512 No query\r\n");
    // A NUL would cut the statement short: refused whole, never run in part.
    EXPECT_EQ(connection->command(QByteArray("sql select 1 as x\0; drop table CATALOG", 38)),
              "512 Statement holds a NUL byte\r\n");
    EXPECT_EQ(connection->command(QByteArray("prep select ?\0x", 15)), "512 Statement holds a NUL byte\r\n");
    if (GetParam() == Backend::Embedded) {
        const QByteArray two = connection->command("execsql2 select 1; select 2");
        EXPECT_TRUE(two.startsWith("512 ") && !two.contains("not an error")) << two.constData();
    }
    EXPECT_TRUE(connection->command("sql select 1").startsWith("200"));
    EXPECT_TRUE(server().log().contains("statement failed: ")) << server().log().constData();
}

TEST_P(Protocol, NumericColumnsKeepTheirTypeAndEveryValue)
{
    auto connection = connectTo(server());
    connection->command("execsql2 drop table if exists T_WIDE");
    ASSERT_EQ(connection->command("execsql2 create table T_WIDE (ID INTEGER, N INT, S SMALLINT, D DECIMAL(9,3), "
                                  "M MONEY, B BOOLEAN)"),
              "200 0\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_WIDE values (1, 7, 7, 0.125, 1.23, 1)"), "200 1\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_WIDE values (2, 5000000000, 70000, -12.5, 0, 0)"),
              "200 1\r\n");
    struct Case {
        QByteArray where;
        QList<QByteArray> types;
        QList<QByteArray> rows;
    };
    // Booleans travel as the numbers stored. SQLite keeps any 64-bit integer in an INT column: the announced width
    // grows to hold it (also when only a later row needs it), and the value
    // arrives unchanged on every backend.
    const Case cases[] = {
        {"ID=1", {"int32", "int16", "double", "currency", "boolean"}, {"7,7,0.125,1.23,1"}},
        {"ID=2", {"int64", "int32", "double", "currency", "boolean"}, {"5000000000,70000,-12.5,0,0"}},
        {"ID>0", {"int64", "int32", "double", "currency", "boolean"},
         {"7,7,0.125,1.23,1", "5000000000,70000,-12.5,0,0"}},
    };
    for (const Case& c : cases) {
        const QByteArray reply = connection->command("sql select N, S, D, M, B from T_WIDE where " + c.where + " order by ID");
        ASSERT_TRUE(reply.startsWith("200")) << reply.constData();
        const lystra::TODBCFieldList fields = lystra::readFieldDefs(replyText(reply));
        ASSERT_EQ(fields.size(), c.types.size());
        for (qsizetype i = 0; i < fields.size(); ++i)
            EXPECT_EQ(fields[i].field.DataType, c.types[i]) << c.where.constData() << " column " << i;
        EXPECT_EQ(connection->rows(), c.rows) << c.where.constData();
        connection->command("clear");
    }
    // Expression columns take their type from their values.
    ASSERT_TRUE(connection->command("sql select 5000000000 as BIG, 1.5 as F").startsWith("200"));
    EXPECT_EQ(connection->rows(), QList<QByteArray>{"5000000000,1.5"});
}

TEST_P(Protocol, BytesWrittenAsTheClientWritesThemReadBackUnchanged)
{
    if (GetParam() != Backend::Embedded)
        GTEST_SKIP() << "byte literals are rewritten for the embedded database only";
    auto connection = connectTo(server());
    connection->command("execsql2 drop table if exists T_BLOB");
    ASSERT_EQ(connection->command("execsql2 create table T_BLOB (ID INTEGER, B BLOB)"), "200 0\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_BLOB values (1, 0x00FF10)"), "200 1\r\n");
    ASSERT_EQ(connection->command("execsql2 insert into T_BLOB values (2, 0x00112233445566778899AABBCCDDEEFF)"),
              "200 1\r\n");
    ASSERT_TRUE(connection->command("sql select B from T_BLOB order by ID").startsWith("200"));
    EXPECT_EQ(connection->rows(), (QList<QByteArray>{"00FF10", "00112233445566778899AABBCCDDEEFF"}));
}

TEST_P(Protocol, CommandsWithoutResultSet)
{
    auto connection = connectTo(server());
    freshTable(*connection, "T_COUNTS");
    EXPECT_EQ(connection->command("sql insert into T_COUNTS values ('a', 1)"), "201 OK\r\n");
    EXPECT_EQ(connection->line(), "1\r\n");
    EXPECT_EQ(connection->line(), "0\r\n");
    EXPECT_EQ(connection->command("execsql insert into T_COUNTS values ('b', 2)"), "200 OK\r\n");
    EXPECT_EQ(connection->line(), "1\r\n");
    EXPECT_EQ(connection->line(), "0\r\n");
    EXPECT_EQ(connection->command("execsql2 update T_COUNTS set N=N+1 with NC"), "200 2\r\n");
    EXPECT_EQ(connection->command("execsql2 delete from T_COUNTS where K='a' with NC"), "200 1\r\n");
    EXPECT_EQ(countOf(*connection, "T_COUNTS"), "1");

    // Statements that change no row report 0, not the last change's count.
    EXPECT_EQ(connection->command("execsql2 update T_COUNTS set N=N+1"), "200 1\r\n");
    for (const QByteArray& statement :
         {QByteArray("execsql2 create table T_COUNTS2 (A INTEGER)"), QByteArray("execsql2 update T_COUNTS set N=0 where K='none'"),
          QByteArray("execsql2 drop table T_COUNTS2")})
        EXPECT_EQ(connection->command(statement), "200 0\r\n") << statement.constData();
    EXPECT_EQ(connection->command("execsql2 update T_COUNTS set N=N+1"), "200 1\r\n");
    EXPECT_EQ(connection->command("sql create table T_COUNTS3 (A INTEGER)"), "201 OK\r\n");
    EXPECT_EQ(connection->line(), "0\r\n");
    EXPECT_EQ(connection->line(), "0\r\n");
    EXPECT_EQ(connection->command("execsql2 drop table T_COUNTS3"), "200 0\r\n");
}

TEST_P(Protocol, TransactionsRollBackAndNeverCommitHalfway)
{
    auto connection = connectTo(server());
    auto observer = connectTo(server());
    freshTable(*connection, "T_TRAN");

    EXPECT_EQ(connection->command("tran start"), "200 OK\r\n");
    EXPECT_EQ(connection->command("tran start"), "503 Transaction already started\r\n");
    EXPECT_EQ(connection->command("execsql2 insert into T_TRAN values ('a', 1)"), "200 1\r\n");
    EXPECT_TRUE(connection->command("execsql2 insert into T_TRAN values ('a', 2)").startsWith("512 "));
    EXPECT_EQ(connection->command("tran rollback"), "200 OK\r\n");
    EXPECT_EQ(countOf(*observer, "T_TRAN"), "0");

    EXPECT_EQ(connection->command("tran commit"), "503 No transaction active\r\n");
    EXPECT_EQ(connection->command("tran sideways"), "501 Unknown transaction command: sideways\r\n");
    EXPECT_EQ(connection->command("tran start"), "200 OK\r\n");
    EXPECT_EQ(connection->command("execsql2 insert into T_TRAN values ('b', 1)"), "200 1\r\n");
    EXPECT_EQ(connection->command("tran commit"), "200 OK\r\n");
    EXPECT_EQ(countOf(*observer, "T_TRAN"), "1");

    // A client that leaves with its transaction open gets it rolled back.
    EXPECT_EQ(connection->command("tran start"), "200 OK\r\n");
    EXPECT_EQ(connection->command("execsql2 insert into T_TRAN values ('c', 1)"), "200 1\r\n");
    connection.reset();
    QByteArray count;
    for (int i = 0; i < 100 && count != "1"; ++i) {
        QThread::msleep(50);
        count = countOf(*observer, "T_TRAN");
    }
    EXPECT_EQ(count, "1");
}

TEST_P(Protocol, BatchIsAllOrNothing)
{
    auto connection = connectTo(server());
    freshTable(*connection, "T_BATCH");
    connection->send("sqlbatch\r\ninsert into T_BATCH values ('a', 1)\r\ninsert into T_BATCH values ('a', 2)\r\n"
                     "insert into T_BATCH values ('c', 3)\r\n.\r\n");
    const QByteArray failed = connection->line();
    EXPECT_TRUE(failed.startsWith("512 Statement 2: ")) << failed.constData();
    EXPECT_EQ(countOf(*connection, "T_BATCH"), "0");

    connection->send("sqlbatch\r\ninsert into T_BATCH values ('a', 1)\r\ninsert into T_BATCH values ('b', 2) with NC\r\n.\r\n");
    EXPECT_EQ(connection->line(), "200 OK\r\n");
    EXPECT_EQ(countOf(*connection, "T_BATCH"), "2");

    // Inside the client's transaction a failed batch undoes only itself.
    EXPECT_EQ(connection->command("tran start"), "200 OK\r\n");
    EXPECT_EQ(connection->command("execsql2 insert into T_BATCH values ('c', 3)"), "200 1\r\n");
    connection->send("sqlbatch\r\ninsert into T_BATCH values ('d', 4)\r\ninsert into NOPE values (1)\r\n.\r\n");
    EXPECT_TRUE(connection->line().startsWith("512 Statement 2: "));
    EXPECT_EQ(connection->command("tran commit"), "200 OK\r\n");
    ASSERT_TRUE(connection->command("sql select K from T_BATCH order by K").startsWith("200"));
    EXPECT_EQ(connection->rows(), (QList<QByteArray>{"a", "b", "c"}));
}

TEST_P(Protocol, PreparedStatementRunsTwiceWithOtherValues)
{
    auto connection = connectTo(server());
    EXPECT_EQ(connection->command("prep select FID from CATALOG where \"USER\"=? and FPAGES>? order by FID"), "200 OK\r\n");
    EXPECT_TRUE(connection->command("exec ANNA,2").startsWith("200"));
    EXPECT_EQ(connection->line(), ".\r\n");
    EXPECT_EQ(connection->rows(), (QList<QByteArray>{"0000200001", "0000200002", "0000200003"}));
    EXPECT_TRUE(connection->command("exec ERIK,2").startsWith("200"));
    EXPECT_EQ(connection->line(), ".\r\n");
    EXPECT_EQ(connection->rows(), (QList<QByteArray>{"0000300001", "0000300003"}));
    EXPECT_EQ(connection->command("exec ANNA"), "501 The statement takes 2 values, 1 given\r\n");

    freshTable(*connection, "T_PREP");
    EXPECT_EQ(connection->command("prep insert into T_PREP values (?, ?)"), "200 OK\r\n");
    EXPECT_EQ(connection->command("exec a,1"), "201 OK\r\n");
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"1\r\n", ".\r\n"}));
    EXPECT_EQ(connection->command("exec \xe5,\xff"), "201 OK\r\n"); // byte 255 alone is NULL
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"1\r\n", ".\r\n"}));
    ASSERT_TRUE(connection->command("sql select K, N from T_PREP order by N").startsWith("200"));
    EXPECT_EQ(connection->rows(), (QList<QByteArray>{"\xe5,\xff", "a,1"}));
}

TEST_P(Protocol, ClearDropsResultSetAndPreparedStatement)
{
    auto connection = connectTo(server());
    EXPECT_EQ(connection->command("prep select 1"), "200 OK\r\n");
    EXPECT_TRUE(connection->command("sql select FID from CATALOG").startsWith("200"));
    EXPECT_EQ(connection->command("clear"), "200 OK\r\n");
    EXPECT_EQ(connection->command("get 200"), "503 No open result set\r\n");
    EXPECT_EQ(connection->command("info "), "503 No open result set\r\n");
    EXPECT_EQ(connection->command("exec "), "503 No prepared statement\r\n");
}

TEST_P(Protocol, SystemRequests)
{
    auto connection = connectTo(server());
    EXPECT_EQ(connection->command("sys customdata "), "200 OK\r\n");
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"DB=ARKIV\r\n", ".\r\n"}));
    EXPECT_EQ(connection->command("sys databasenames "), "200 OK\r\n");
    EXPECT_TRUE(connection->lineList().contains("LYSTRA\r\n"));
    EXPECT_EQ(connection->command("sys datasourcenames "), "200 OK\r\n");
    EXPECT_TRUE(connection->lineList().contains("LYSTRA\r\n"));
    for (const char* request : {"sys tablenames ", "sys tablenames LYSTRA"}) {
        EXPECT_EQ(connection->command(request), "200 OK\r\n");
        const QList<QByteArray> tables = connection->lineList();
        for (const char* table : {"CATALOG\r\n", "ANNA\r\n", "QSECOFR\r\n"})
            EXPECT_TRUE(tables.contains(table)) << request << table;
    }
    EXPECT_EQ(connection->command("sys defaultindexfields ANNA"), "200 OK\r\n");
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"FID\r\n", "FPAGE\r\n", "FLINE\r\n", ".\r\n"}));
    EXPECT_EQ(connection->command("sys getconfig"), "200 OK\r\n");
    EXPECT_TRUE(connection->lineList().contains("Greeting=200 VIDAZEVIVU 1.8\r\n"));
    EXPECT_TRUE(connection->command("sys setconfig").startsWith("550 ")); // not allowed by this server
    EXPECT_TRUE(connection->command("sys nonsense").startsWith("501 "));
    EXPECT_EQ(connection->command("sys indexnames CATALOG"), "200 OK\r\n");
    EXPECT_TRUE(connection->lineList().contains("CATALOG_USER\r\n"));
    EXPECT_EQ(connection->command("sys indexfields CATALOG;CATALOG_USER"), "200 OK\r\n");
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"USER\r\n", "FDATE\r\n", "FTIME\r\n", ".\r\n"}));
    EXPECT_EQ(connection->command("sys indexfields CATALOG;NOPE"), "200 OK\r\n");
    EXPECT_EQ(connection->lineList(), QList<QByteArray>{".\r\n"});
    EXPECT_EQ(connection->command("sys defaultindexfields CATALOG"), "200 OK\r\n");
    EXPECT_EQ(connection->lineList(), (QList<QByteArray>{"FID\r\n", ".\r\n"}));
}
