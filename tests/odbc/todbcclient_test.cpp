#include "odbc/todbcclient.h"

#include "scriptedserver.h"

#include <gtest/gtest.h>

#include <optional>

using namespace lystra;
using lystra::test::Script;
using lystra::test::ScriptedServer;

namespace {

QByteArray operator""_b(const char* text, std::size_t size)
{
    return QByteArray(text, static_cast<qsizetype>(size));
}

const QByteArray kGreeting17 = "200 VIDAZEVIVU 1.7\r\n";
const QByteArray kGreeting18 = "200 VIDAZEVIVU 1.8\r\n";

const QByteArray kDocument = "<fielddefs><field><name>FID</name><size>4</size>"
                             "<datatype>int32</datatype></field><field><name>FTXT</name>"
                             "<size>20</size><datatype>string</datatype></field></fielddefs>";

// The document sent inline, split over the lines of a multi-line 200 reply.
const QByteArray kInlineReply = "200-<fielddefs><field><name>FID</name><size>4</size>\r\n"
                                "200-<datatype>int32</datatype></field><field><name>FTXT</name>\r\n"
                                "200 <size>20</size><datatype>string</datatype></field></fielddefs>\r\n";

TODBCClient connectTo(const ScriptedServer& server)
{
    return TODBCClient(ScriptedServer::host(), 5000, server.port());
}

Script opened(const QByteArray& greeting = kGreeting18)
{
    return Script().send(greeting).expect("open LYSTRA QSECOFR pw").send("200 OK\r\n");
}

QList<QByteArray> keysOf(const TODBCFieldList& fields)
{
    QList<QByteArray> keys;
    for (const TODBCResultField& entry : fields)
        keys.append(entry.key);
    return keys;
}

// Runs `body` against a server playing `scripts`, with the client destroyed
// before the server is asked how the exchanges went.
template <typename Body>
void exchange(ScriptedServer& server, Body body)
{
    {
        std::optional<TODBCClient> client;
        client.emplace(ScriptedServer::host(), 5000, server.port());
        body(*client);
    }
    EXPECT_EQ(server.finish(), QStringList());
}

TEST(ODBCClient, QueryWithInlineDocumentWalksABlockThenAsksAgain)
{
    ScriptedServer server({opened()
                               .expect("sql select FID, FTXT from CATALOG")
                               .send(kInlineReply)
                               .expect("get 200")
                               .send("200 OK\r\n" +
                                     ScriptedServer::block("1,\"a b\"\0002,\"\"\0003,\xff\0"_b))
                               .expect("get 200")
                               .send("522 No more rows\r\n")});
    exchange(server, [](TODBCClient& client) {
        EXPECT_EQ(client.Greeting(), "200 VIDAZEVIVU 1.8");
        EXPECT_EQ(client.RowText(), ".");
        client.OpenDatabase("LYSTRA", "QSECOFR", "pw");
        client.ExecuteQuery("select FID, FTXT from CATALOG");
        EXPECT_EQ(client.ResultFieldCount(), 2);
        EXPECT_EQ(keysOf(client.ResultFields()), (QList<QByteArray>{"FID", "FTXT"}));
        EXPECT_EQ(client.ResultFields()[1].field.Size, 20);
        QList<QList<QByteArray>> rows;
        while (!client.EndOfData()) {
            rows.append(client.RowValues());
            client.NextRow();
        }
        EXPECT_EQ(rows, (QList<QList<QByteArray>>{{"1", "a b"}, {"2", ""}, {"3", "\xff"}}));
        try {
            client.NextRow();
            ADD_FAILURE() << "read past the end";
        } catch (const EODBCError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Read past end-of-file not allowed"));
        }
    });
    EXPECT_EQ(server.received(0), "open LYSTRA QSECOFR pw\r\n"
                                  "sql select FID, FTXT from CATALOG\r\n"
                                  "get 200\r\nget 200\r\n");
}

TEST(ODBCClient, OkReplyFetchesTheDocumentWithInfoAndAnEmptyResultEndsAtOnce)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expect("sql select * from CATALOG where 1=0")
                               .send("200 OK\r\n")
                               .expect("info ")
                               .send("200 OK\r\n" + ScriptedServer::block(kDocument))
                               .expect("get 50")
                               .send("522 No more rows\r\n")
                               .expect("sql select 1")
                               .send("200 OK\r\n")
                               .expect("info ")
                               .send("200 OK\r\n" + ScriptedServer::block(kDocument))
                               .expect("get 50")
                               .send("200 OK\r\n" + ScriptedServer::block({}))});
    exchange(server, [](TODBCClient& client) {
        client.setRowsPerFetch(50);
        client.ExecuteQuery("select * from CATALOG where 1=0");
        EXPECT_EQ(keysOf(client.ResultFields()), (QList<QByteArray>{"FID", "FTXT"}));
        EXPECT_TRUE(client.EndOfData());
        EXPECT_TRUE(client.RowValues().isEmpty());
        // An empty block ends the data as well.
        client.ExecuteQuery("select 1");
        EXPECT_TRUE(client.EndOfData());
    });
}

TEST(ODBCClient, StatementCrLfBecomesBlankAndLoneLfIsSentUnchanged)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expectRaw("sql update T set A=1 where\nB=2\r\n")
                               .send("201 OK\r\n7\r\nignored\r\n")
                               .expectRaw("prep select ? from T \n\r\n")
                               .send("200 OK\r\n")});
    exchange(server, [](TODBCClient& client) {
        client.ExecuteQuery("update T\r\nset A=1\r\nwhere\nB=2");
        EXPECT_EQ(client.RowsAffected(), 7);
        EXPECT_EQ(client.ResultFieldCount(), 0);
        EXPECT_TRUE(client.EndOfData());
        client.PrepareStatement("select ? from T\r\n\n");
    });
    EXPECT_EQ(server.received(0), "sql update T set A=1 where\nB=2\r\n"
                                  "prep select ? from T \n\r\n");
}

TEST(ODBCClient, GreetingDecidesTheCommandForStatementsWithoutResult)
{
    struct Case {
        QByteArray greeting;
        QByteArray sent;
        QByteArray reply;
    };
    const Case cases[] = {
        {"200 VIDAZEVIVU 1.7\r\n", "execsql delete from T", "200 OK\r\n12\r\nignored\r\n"},
        {"200 VIDAZEVIVU 1.8\r\n", "execsql2 delete from T", "200 12\r\n"},
        {"200 VIDAZEVIVU 1.10\r\n", "execsql delete from T", "200 OK\r\n12\r\nignored\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.greeting.constData());
        ScriptedServer server({Script().send(c.greeting).expect(c.sent).send(c.reply)});
        exchange(server, [](TODBCClient& client) {
            client.ExecuteCommand("delete from T");
            EXPECT_EQ(client.RowsAffected(), 12);
        });
        EXPECT_EQ(server.received(0), c.sent + "\r\n");
    }
}

TEST(ODBCClient, GreetingOf300RefusesTheConnection)
{
    ScriptedServer server({Script().send("300 Too many connections\r\n")});
    try {
        connectTo(server);
        FAIL() << "connection accepted";
    } catch (const EODBCError&) {
        FAIL() << "wrong class";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Maximalt antal anslutningar till VIDAZevivu har "
                                              "uppnåtts. Försök igen senare"));
    }
    EXPECT_EQ(server.finish(), QStringList());
}

TEST(ODBCClient, ErrorRepliesCarryTheServerTextAndLeaveTheClientUsable)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expect("sql select * from NOPE")
                               .send("512-Table NOPE not found\r\n512 in LYSTRA\r\n")
                               .expect("open LYSTRA QSECOFR bad")
                               .send("530 Login failed\r\n")
                               .expect("execsql2 delete from NOPE")
                               .send("512 No such table\r\n")
                               .expect("tran start")
                               .send("xyz what\r\n")
                               .expect("tran commit")
                               .send("200 OK\r\n")});
    exchange(server, [](TODBCClient& client) {
        try {
            client.ExecuteQuery("select * from NOPE");
            ADD_FAILURE() << "no error";
        } catch (const EODBCError&) {
            ADD_FAILURE() << "wrong class";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Table NOPE not found\r\nin LYSTRA\r\n"));
        }
        try {
            client.OpenDatabase("LYSTRA", "QSECOFR", "bad");
            ADD_FAILURE() << "no error";
        } catch (const EReplyError& e) {
            EXPECT_EQ(e.code(), 530);
            EXPECT_EQ(e.message(), QStringLiteral("Login failed\r\n"));
        }
        EXPECT_THROW(client.ExecuteCommand("delete from NOPE"), Exception);
        EXPECT_THROW(client.StartTransaction(), EReplyError);
        client.Commit();
    });
}

TEST(ODBCClient, ClosedConnectionReconnectsReopensAndResendsOnce)
{
    ScriptedServer server({opened(kGreeting17).expect("sql select 1").close(),
                           opened(kGreeting18)
                               .expect("sql select 1")
                               .send("201 OK\r\n3\r\nx\r\n")
                               .expect("execsql2 delete from T")
                               .send("200 4\r\n")});
    exchange(server, [](TODBCClient& client) {
        client.OpenDatabase("LYSTRA", "QSECOFR", "pw");
        client.ExecuteQuery("select 1");
        EXPECT_EQ(client.RowsAffected(), 3);
        // The new connection's greeting chooses the command from now on.
        EXPECT_EQ(client.Greeting(), "200 VIDAZEVIVU 1.8");
        client.ExecuteCommand("delete from T");
        EXPECT_EQ(client.RowsAffected(), 4);
    });
    EXPECT_EQ(server.received(0), "open LYSTRA QSECOFR pw\r\nsql select 1\r\n");
    EXPECT_EQ(server.received(1),
              "open LYSTRA QSECOFR pw\r\nsql select 1\r\nexecsql2 delete from T\r\n");
}

TEST(ODBCClient, BatchIsResentWholeAfterAClose)
{
    const QByteArray batch = "sqlbatch\r\ninsert into T values (1)\r\ndelete from U\r\n.\r\n";
    ScriptedServer server({Script().send(kGreeting18).expectRaw(batch).close(),
                           Script()
                               .send(kGreeting18)
                               .expectRaw(batch)
                               .send("OK\r\n")
                               .expectRaw("sqlbatch\r\nbad\r\n.\r\n")
                               .send("512 Syntax error near bad\r\n")});
    exchange(server, [](TODBCClient& client) {
        client.ExecuteBatch({"insert into T values (1)", "delete from U"});
        try {
            client.ExecuteBatch({"bad"});
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), QStringLiteral("512 Syntax error near bad"));
        }
    });
}

TEST(ODBCClient, SecondFailureAndNonRetryingCommandsPropagate)
{
    {
        ScriptedServer server({Script().send(kGreeting18).expect("sql select 1").close(),
                               Script().send(kGreeting18).expect("sql select 1").close()});
        exchange(server, [](TODBCClient& client) {
            EXPECT_THROW(client.ExecuteQuery("select 1"), EConnectionClosed);
        });
    }
    {
        // System requests retry on socket errors only, not on a close.
        ScriptedServer server({Script().send(kGreeting18).expect("sys databasenames ").close()});
        exchange(server, [](TODBCClient& client) {
            QList<QByteArray> names;
            EXPECT_THROW(client.SystemRequest(TODBCSystemRequest::DatabaseNames, {}, names),
                         EConnectionClosed);
        });
        EXPECT_EQ(server.connectionCount(), 1);
    }
    {
        // No server to reconnect to: the retry fails with an EODBCError.
        ScriptedServer server({Script().send(kGreeting18).expect("execsql2 x").close()});
        exchange(server, [](TODBCClient& client) {
            EXPECT_THROW(client.ExecuteCommand("x"), EODBCError);
        });
    }
}

TEST(ODBCClient, PreparedStatementStoresOutputValuesByName)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expect("prep call P(?, ?)")
                               .send("200 OK\r\n")
                               .expect("exec 1,abc,OUT=old")
                               .send("201 OK\r\n2\r\nOUT=new\r\nRC=0\r\n.\r\n")
                               .expect("exec 5")
                               .send(kInlineReply + ".\r\n")
                               .expect("get 200")
                               .send("200 OK\r\n" + ScriptedServer::block("9,nine\0"_b))});
    exchange(server, [](TODBCClient& client) {
        client.PrepareStatement("call P(?, ?)");
        QList<QByteArray> values{"1", "abc", "OUT=old"};
        client.ExecutePrepared(values);
        EXPECT_EQ(client.RowsAffected(), 2);
        EXPECT_EQ(values, (QList<QByteArray>{"1", "abc", "OUT=new", "RC=0"}));
        QList<QByteArray> second{"5"};
        client.ExecutePrepared(second);
        EXPECT_EQ(second, QList<QByteArray>{"5"});
        EXPECT_EQ(client.ResultFieldCount(), 2);
        EXPECT_FALSE(client.EndOfData());
        EXPECT_EQ(client.RowValues(), (QList<QByteArray>{"9", "nine"}));
    });
}

TEST(ODBCClient, SystemRequestsSendTheirLinesAndCollectLists)
{
    struct Case {
        int kind;
        QByteArray argument;
        QByteArray sent;
    };
    const Case cases[] = {
        {TODBCSystemRequest::GetConfig, "ignored", "sys getconfig"},
        {TODBCSystemRequest::DataSourceNames, {}, "sys datasourcenames "},
        {TODBCSystemRequest::DatabaseNames, {}, "sys databasenames "},
        {TODBCSystemRequest::TableNames, "LYSTRA", "sys tablenames LYSTRA"},
        {TODBCSystemRequest::IndexNames, "CATALOG", "sys indexnames CATALOG"},
        {TODBCSystemRequest::IndexFields, "CATALOG;PK", "sys indexfields CATALOG;PK"},
        {TODBCSystemRequest::DefaultIndexFields, "CATALOG", "sys defaultindexfields CATALOG"},
        {TODBCSystemRequest::CustomData, {}, "sys customdata "},
    };
    Script script = Script().send(kGreeting18);
    QByteArray sent;
    for (const Case& c : cases) {
        script.expect(c.sent).send("200 OK\r\nfirst line\r\nDB=ARKIV\r\n.\r\n");
        sent += c.sent + "\r\n";
    }
    script.expect("sys setconfig").send("200 OK\r\n").expect("A=1").expect("B=2");
    sent += "sys setconfig\r\nA=1\r\nB=2\r\n";
    ScriptedServer server({script});
    exchange(server, [&](TODBCClient& client) {
        for (const Case& c : cases) {
            QList<QByteArray> list{"kept"};
            client.SystemRequest(c.kind, c.argument, list);
            EXPECT_EQ(list, (QList<QByteArray>{"kept", "first line", "DB=ARKIV"})) << c.sent.constData();
        }
        QList<QByteArray> config{"A=1", "B=2"};
        client.SystemRequest(TODBCSystemRequest::SetConfig, {}, config);
        QList<QByteArray> none;
        EXPECT_THROW(client.SystemRequest(9, {}, none), EODBCError);
    });
    EXPECT_EQ(server.received(0), sent);
}

TEST(ODBCClient, ClearAcceptsAnyReplyAndSwallowsErrors)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expect("clear")
                               .send("599 nothing to clear\r\n")
                               .expect("tran rollback")
                               .send("200 OK\r\n")
                               .expect("clear")
                               .close()});
    exchange(server, [](TODBCClient& client) {
        client.ClearCursor();
        client.Rollback();
        client.ClearCursor();
    });
}

TEST(ODBCClient, ConnectFailureNamesTheHost)
{
    ScriptedServer server(QList<Script>{});
    server.finish(); // the listener is closed: nothing listens on the port now
    try {
        connectTo(server);
        FAIL() << "connected";
    } catch (const EODBCError& e) {
        EXPECT_TRUE(e.message().startsWith(
            QStringLiteral("Unable to connect to VIDAzevivu \"127.0.0.1\": ")))
            << e.what();
    }
}

// Untrusted server bytes: each case must end promptly in a clear exception
// of the documented classes, without holding memory for lengths that were
// never sent.
TEST(ODBCClient, BadServerBytesRaiseClearErrors)
{
    enum class Expect { Closed, BadDocument };
    auto closingAfter = [](const QByteArray& bytes) {
        return Script().send(kGreeting18).expect("sql x").send(bytes).close();
    };
    auto blockAfterGet = [](const QByteArray& bytes) {
        return Script().send(kGreeting18).expect("sql x").send(kInlineReply).expect("get 200")
            .send(bytes).close();
    };
    struct Case {
        const char* name;
        QList<Script> scripts;
        Expect expect;
    };
    const Case cases[] = {
        // The query is resent once on a new connection; the second close propagates.
        {"ClosedBeforeReply", {closingAfter({}), closingAfter({})}, Expect::Closed},
        {"ClosedInsideReplyLine", {closingAfter("200 O"), closingAfter("200 O")}, Expect::Closed},
        {"ClosedInsideMultiLineReply",
         {closingAfter("200-<fielddefs>\r\n"), closingAfter("200-<fielddefs>\r\n")},
         Expect::Closed},
        {"BlockLongerThanSent", {blockAfterGet("200 OK\r\n\x00\x00\x10\x00short"_b)}, Expect::Closed},
        {"LyingLengthOf4GiB",
         {blockAfterGet("200 OK\r\n\xff\xff\xff\xff" + QByteArray(100000, 'x'))}, Expect::Closed},
        {"InfoBlockCut",
         {Script().send(kGreeting18).expect("sql x").send("200 OK\r\n").expect("info ")
              .send("200 OK\r\n\x00\x00\x01\x00<fielddefs>"_b).close()},
         Expect::Closed},
        {"DocumentCutInTheMiddle",
         {Script().send(kGreeting18).expect("sql x")
              .send("200 <fielddefs><field><name>A</name><size>1\r\n")},
         Expect::BadDocument},
        {"NoFieldDefs", {Script().send(kGreeting18).expect("sql x").send("200 <html>\r\n")},
         Expect::BadDocument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.scripts);
        exchange(server, [&](TODBCClient& client) {
            if (c.expect == Expect::Closed) {
                EXPECT_THROW(client.ExecuteQuery("x"), EConnectionClosed);
                return;
            }
            try {
                client.ExecuteQuery("x");
                ADD_FAILURE() << "accepted";
            } catch (const EXMLParseException&) {
            } catch (const EODBCError&) {
            }
        });
    }
    // Commands without retry report the close at once.
    ScriptedServer server({Script().send(kGreeting18).expect("open A B C").close()});
    exchange(server, [](TODBCClient& client) {
        EXPECT_THROW(client.OpenDatabase("A", "B", "C"), EConnectionClosed);
    });
}

TEST(ODBCClient, BlockWithoutFinalNulKeepsItsLastRow)
{
    ScriptedServer server({Script()
                               .send(kGreeting18)
                               .expect("sql x")
                               .send(kInlineReply)
                               .expect("get 200")
                               .send("200 OK\r\n" + ScriptedServer::block("1,a\0002,b"_b))
                               .expect("get 200")
                               .send("522 done\r\n")});
    exchange(server, [](TODBCClient& client) {
        client.ExecuteQuery("x");
        EXPECT_EQ(client.RowValues(), (QList<QByteArray>{"1", "a"}));
        client.NextRow();
        EXPECT_EQ(client.RowText(), "2,b");
        EXPECT_EQ(client.RowValues(), (QList<QByteArray>{"2", "b"}));
        client.NextRow();
        EXPECT_TRUE(client.EndOfData());
    });
}

TEST(ODBCClient, TenMegabyteReplyLineIsReadWhole)
{
    const QByteArray text(10 * 1024 * 1024, 'e');
    ScriptedServer server({Script().send(kGreeting18).expect("sql x").send("512 " + text + "\r\n")});
    exchange(server, [&](TODBCClient& client) {
        try {
            client.ExecuteQuery("x");
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message().size(), text.size() + 2);
        }
    });
}

} // namespace
