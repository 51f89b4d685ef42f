// The server as the desktop program meets it: driven by the protocol client
// library, on both backends, and on a server that greets as version 1.7.

#include "demoservers.h"

#include "odbc/odbcerrors.h"
#include "odbc/todbcclient.h"

#include <algorithm>

using lystra::EODBCError;
using lystra::Exception;
using lystra::TODBCClient;
using lystra::test::VidazevivuProcess;
namespace Sys = lystra::TODBCSystemRequest;

namespace {

std::unique_ptr<TODBCClient> clientOf(VidazevivuProcess& server)
{
    auto client = std::make_unique<TODBCClient>(server.host(), 5000, server.port());
    client->OpenDatabase("LYSTRA", "QSECOFR", "x");
    return client;
}

// Every row of the open result set, each as its values joined by "|".
QList<QByteArray> allRows(TODBCClient& client)
{
    QList<QByteArray> rows;
    while (!client.EndOfData()) {
        rows.append(client.RowValues().join('|'));
        client.NextRow();
    }
    return rows;
}

} // namespace

class Client : public BackendTest {};

INSTANTIATE_TEST_SUITE_P(Backends, Client, ::testing::Values(Backend::Embedded, Backend::Odbc), backendName);

TEST_P(Client, ListsTheQueueOverManyBlocks)
{
    auto client = clientOf(server());
    client->ExecuteQuery("select * from CATALOG where UPPER(\"USER\")='ANNA' order by FDATE desc, FTIME desc with NC");
    ASSERT_EQ(client->ResultFieldCount(), 15);
    const char* const types[] = {"string", "int32", "int32", "int32", "int32", "int32", "string", "string",
                                 "string", "string", "string", "string", "string", "string", "string"};
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(client->ResultFields()[i].field.DataType, types[i]) << i;
    EXPECT_EQ(client->ResultFields()[14].field.Name, "USER");
    EXPECT_EQ(client->RowValues().value(0), "0000200003");
    EXPECT_EQ(allRows(*client).size(), 3);
    EXPECT_THROW(client->NextRow(), EODBCError);

    // The 2 000-page report's rows in blocks of 200: every row arrives once,
    // in order.
    client->ExecuteQuery("select count(*) from ANNA where FID='0000200003' and FPAGE<=40");
    const int expected = client->RowValues().value(0).toInt();
    EXPECT_GT(expected, 40 * 40);
    client->setRowsPerFetch(200);
    client->ExecuteQuery("select FPAGE, FLINE from ANNA where FID='0000200003' and FPAGE<=40 order by FPAGE, FLINE");
    int count = 0;
    QByteArray previous;
    while (!client->EndOfData()) {
        const QByteArray key = client->RowValues().value(0).rightJustified(5, '0') + '.' +
                               client->RowValues().value(1).rightJustified(5, '0');
        EXPECT_LT(previous, key);
        previous = key;
        ++count;
        client->NextRow();
    }
    EXPECT_EQ(count, expected);
    client->ClearCursor();
}

TEST_P(Client, UsersWithCountsAndCustomData)
{
    auto client = clientOf(server());
    client->ExecuteQuery("select distinct \"USER\", count(*) \"COUNT\" from CATALOG group by \"USER\" order by \"USER\"");
    ASSERT_EQ(client->ResultFieldCount(), 2);
    EXPECT_EQ(client->ResultFields()[1].field.Name, "COUNT");
    const QList<QByteArray> users = allRows(*client);
    EXPECT_TRUE(users.contains("ANNA|3")) << users.join(' ').constData();
    EXPECT_TRUE(std::any_of(users.begin(), users.end(), [](const QByteArray& u) { return u.startsWith("QSECOFR|"); }));

    QList<QByteArray> custom;
    client->SystemRequest(Sys::CustomData, {}, custom);
    EXPECT_EQ(custom, QList<QByteArray>{"DB=ARKIV"});
    QList<QByteArray> tables;
    client->SystemRequest(Sys::TableNames, "LYSTRA", tables);
    EXPECT_TRUE(tables.contains("CATALOG"));
}

TEST_P(Client, StatementsBatchesPreparedAndTransactions)
{
    auto client = clientOf(server());
    client->ExecuteCommand("drop table if exists T_CLIENT");
    client->ExecuteCommand("create table T_CLIENT (K VARCHAR(10) PRIMARY KEY, N INTEGER, D DATE)");
    client->ExecuteBatch({"insert into T_CLIENT values ('a', 1, '2025-03-01')", "insert into T_CLIENT values ('b', 2, NULL)"});
    try {
        client->ExecuteBatch({"insert into T_CLIENT values ('c', 3, NULL)", "insert into T_CLIENT values ('a', 9, NULL)"});
        ADD_FAILURE() << "a batch with a failing statement reports success";
    } catch (const Exception& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("512 "))) << qPrintable(error.message());
    }
    client->ExecuteCommand("update T_CLIENT set N=N*10 with NC");
    EXPECT_EQ(client->RowsAffected(), 2);

    client->PrepareStatement("select K, N, D from T_CLIENT where N>=? order by K");
    for (const auto& [bound, expected] : {std::pair{QByteArray("15"), QList<QByteArray>{"b|20|\xff"}},
                                          std::pair{QByteArray("0"), QList<QByteArray>{"a|10|2025-03-01", "b|20|\xff"}}}) {
        QList<QByteArray> values{bound};
        client->ExecutePrepared(values);
        EXPECT_EQ(allRows(*client), expected) << bound.constData();
    }

    client->StartTransaction();
    client->ExecuteCommand("delete from T_CLIENT");
    EXPECT_EQ(client->RowsAffected(), 2);
    EXPECT_THROW(client->ExecuteCommand("insert into NOPE values (1)"), Exception);
    client->Rollback();
    client->ExecuteQuery("select count(*) from T_CLIENT");
    EXPECT_EQ(client->RowValues(), QList<QByteArray>{"2"});
}

TEST(ClientOfOlderServer, Version17CountsOnTheLineAfterTheReply)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.arguments = QStringList{QStringLiteral("--greeting"), QStringLiteral("200 VIDAZEVIVU 1.7")};
    VidazevivuProcess server(options);
    auto client = clientOf(server);
    EXPECT_EQ(client->Greeting(), "200 VIDAZEVIVU 1.7");
    client->ExecuteCommand("update CATALOG set FSTAT='V' where UPPER(\"USER\")='ANNA' with NC");
    EXPECT_EQ(client->RowsAffected(), 3);
    client->ExecuteQuery("select count(*) from CATALOG where FSTAT='V' and \"USER\"='ANNA'");
    EXPECT_EQ(client->RowValues(), QList<QByteArray>{"3"});
}

TEST(ClientOfFullServer, GetsTheSwedishRefusal)
{
    VidazevivuProcess::Options options;
    options.arguments = QStringList{QStringLiteral("--max-connections"), QStringLiteral("1")};
    VidazevivuProcess server(options);
    TODBCClient first(server.host(), 5000, server.port());
    try {
        TODBCClient second(server.host(), 5000, server.port());
        ADD_FAILURE() << "a second client was let in";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("Maximalt antal anslutningar till VIDAZevivu har uppnåtts. Försök igen senare"));
    }
}

TEST(ClientOfConfigurableServer, SetConfigLinesNeedNoTerminator)
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.configText = "[Server]\nAllowSetConfig=true\n[CustomData]\nDB=ARKIV\nX=1\n";
    VidazevivuProcess server(options);
    auto client = clientOf(server);
    // The client sends its lines and goes straight on with its next command.
    QList<QByteArray> lines{"DB=ARKIV2025", "NEW=a b"};
    client->SystemRequest(Sys::SetConfig, {}, lines);
    QList<QByteArray> custom;
    client->SystemRequest(Sys::CustomData, {}, custom);
    EXPECT_EQ(custom, (QList<QByteArray>{"DB=ARKIV2025", "X=1", "NEW=a b"}));
    // A statement whose text holds "=" is a command, never a setting.
    client->SystemRequest(Sys::SetConfig, {}, lines = {"X=2"});
    client->ExecuteQuery("select count(*) from CATALOG where FSTAT='V'");
    EXPECT_EQ(client->RowValues(), QList<QByteArray>{"3"});
    custom.clear();
    client->SystemRequest(Sys::CustomData, {}, custom);
    EXPECT_EQ(custom, (QList<QByteArray>{"DB=ARKIV2025", "X=2", "NEW=a b"}));
}
