// The protocol's byte-level pieces on the server side: line scanning,
// command parsing, row text and the field-definition document. Row text and
// documents are read back with the protocol client's own readers.

#include "server/command.h"
#include "server/databaseconnection.h"
#include "server/fielddefs.h"
#include "server/linescanner.h"
#include "server/memorychannel.h"
#include "server/rowtext.h"
#include "server/sqltext.h"

#include "odbc/odbcprotocol.h"
#include "odbc/todbcfield.h"
#include "platform/hostcodec.h"

#include <QSqlError>

#include <gtest/gtest.h>

using namespace lystra;

TEST(LineScanner, FindsLinesAndRefusesLongOnesAtTheLimit)
{
    using S = LineScan::Status;
    struct Case {
        const char* name;
        QByteArray buffer;
        qsizetype limit;
        S status;
        QByteArray line;
        qsizetype consumed;
        bool ended;
    };
    const Case cases[] = {
        {"crlf", "open x\r\nnext", 100, S::Complete, "open x", 8, false},
        {"lf only", "abc\n", 100, S::Complete, "abc", 4, false},
        {"cr inside stays", "a\rb\n", 100, S::Complete, "a\rb", 4, false},
        {"no line end yet", "abc", 100, S::NeedMore, "", 0, false},
        {"empty line", "\r\n", 100, S::Complete, "", 2, false},
        {"exactly the limit", "12345\r\n", 5, S::Complete, "12345", 7, false},
        {"limit and CR, LF to come", "12345\r", 5, S::NeedMore, "", 0, false},
        {"one over, ended", "123456\n", 5, S::TooLong, "", 7, true},
        {"over, not ended", "1234567", 5, S::TooLong, "", 7, false},
        // The line end lies beyond the window: the next line must survive.
        {"over, CR LF beyond the window", "123456\r\nnext\r\n", 5, S::TooLong, "", 8, true},
        {"far over, LF in the buffer", "123456789\nnext", 5, S::TooLong, "", 10, true},
    };
    for (const Case& c : cases) {
        const LineScan scan = scanLine(c.buffer, c.limit);
        EXPECT_EQ(scan.status, c.status) << c.name;
        EXPECT_EQ(scan.line.toByteArray(), c.line) << c.name;
        EXPECT_EQ(scan.consumed, c.consumed) << c.name;
        EXPECT_EQ(scan.ended, c.ended) << c.name;
    }
}

TEST(LineReader, SkipsOverlongLinesAndStaysInStep)
{
    // A line over the limit arriving in many pieces is skipped to its end;
    // the next line reads normally. An endless line ends with Overflow.
    QByteArray input = QByteArray(100000, 'x') + "\r\nsql ok\r\n" + QByteArray(300000, 'y');
    MemoryChannel channel(input, 1000, 200000);
    QByteArray line;
    EXPECT_EQ(channel.readLine(line), LineChannel::Read::TooLong);
    ASSERT_EQ(channel.readLine(line), LineChannel::Read::Line);
    EXPECT_EQ(line, "sql ok");
    EXPECT_EQ(channel.readLine(line), LineChannel::Read::Overflow);

    MemoryChannel cut("get 1\r\nget", 1000, 4096);
    EXPECT_EQ(cut.readLine(line), LineChannel::Read::Line);
    EXPECT_EQ(cut.readLine(line), LineChannel::Read::Closed); // a partial line is not a command
}

TEST(CommandParser, SplitsWordAndArgument)
{
    struct Case {
        const char* line;
        CommandKind kind;
        const char* argument;
    };
    const Case cases[] = {
        {"open LYSTRA ANNA pwd", CommandKind::Open, "LYSTRA ANNA pwd"},
        {"SQL select 1 ", CommandKind::Sql, "select 1 "},
        {"execsql delete from T", CommandKind::ExecSql, "delete from T"},
        {"execsql2 delete from T", CommandKind::ExecSql2, "delete from T"},
        {"sqlbatch", CommandKind::SqlBatch, ""},
        {"prep select ?", CommandKind::Prep, "select ?"},
        {"exec a,b", CommandKind::Exec, "a,b"},
        {"get 200", CommandKind::Get, "200"},
        {"info ", CommandKind::Info, ""},
        {"tran start", CommandKind::Tran, "start"},
        {"clear", CommandKind::Clear, ""},
        {"sys datasourcenames ", CommandKind::Sys, "datasourcenames "},
        {"  \t get 5", CommandKind::Get, "5"},
        {"", CommandKind::Empty, ""},
        {" \x01 ", CommandKind::Empty, ""},
        {"sqlx select", CommandKind::Unknown, "select"},
        {"\xff\xfe garbage", CommandKind::Unknown, "garbage"},
    };
    for (const Case& c : cases) {
        const Command command = parseCommand(c.line);
        EXPECT_EQ(command.kind, c.kind) << c.line;
        EXPECT_EQ(command.argument, QByteArray(c.argument)) << c.line;
    }
}

TEST(CommandParser, OpenWordsKeepThePasswordWhole)
{
    const OpenArguments all = splitOpenArguments("LYSTRA ANNA two words ");
    EXPECT_EQ(all.database, "LYSTRA");
    EXPECT_EQ(all.user, "ANNA");
    EXPECT_EQ(all.password, "two words ");
    const OpenArguments empty = splitOpenArguments("LYSTRA  ");
    EXPECT_EQ(empty.database, "LYSTRA");
    EXPECT_EQ(empty.user, "");
    EXPECT_EQ(empty.password, "");
    EXPECT_EQ(splitOpenArguments("LYSTRA").user, "");
}

TEST(CommandParser, RowCounts)
{
    struct Case {
        const char* text;
        std::optional<int> rows;
    };
    const Case cases[] = {
        {"200", 200},          {" 7 ", 7},           {"1", 1},
        {"0", std::nullopt},   {"-5", std::nullopt}, {"abc", std::nullopt},
        {"", std::nullopt},    {"1e3", std::nullopt}, {"12 3", std::nullopt},
        {"99999999999999999999", 1000}, // capped, not an overflow
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseRowCount(c.text, 1000), c.rows) << c.text;
}

TEST(CommandParser, ExecValues)
{
    EXPECT_TRUE(splitExecValues("", 0).isEmpty());
    EXPECT_EQ(splitExecValues("", 1), QList<QByteArray>{""});
    EXPECT_EQ(splitExecValues("ANNA,,2 ", 3), (QList<QByteArray>{"ANNA", "", "2 "}));
    EXPECT_EQ(splitExecValues("a,b", 0).size(), 2); // the caller sees the mismatch
}

TEST(RowText, ValuesSurviveTheClientsReader)
{
    // Every value must come back unchanged through the client's splitter,
    // whatever bytes it holds.
    const QList<QByteArray> values = {
        "plain", "", "a b", "x,y", "q\"q", "\"", " lead", "trail ", "tab\there", "line\r\nbreak",
        ",", "\xe5\xe4\xf6", "-123,45", "\xff\xff", "\x01",
    };
    QByteArray block;
    RowTextWriter writer(block);
    for (const QByteArray& value : values)
        writer.appendValue(value);
    writer.endRow();
    ASSERT_TRUE(block.endsWith('\0'));
    EXPECT_EQ(block.count('\0'), 1);
    EXPECT_EQ(odbc::splitRowText(QByteArrayView(block).chopped(1)), values);
}

TEST(RowText, ExactBytesOfNullsAndQuoting)
{
    QByteArray block;
    RowTextWriter writer(block);
    writer.appendValue("0000200001");
    writer.appendNull();
    writer.appendValue("");
    writer.appendValue("Huvudbok okt");
    writer.appendValue("a\"b");
    writer.endRow();
    writer.appendValue(QByteArray("nul\0inside", 10));
    writer.endRow();
    QByteArray expected = "0000200001,\xff,\"\",\"Huvudbok okt\",\"a\"\"b\"";
    expected += '\0';
    expected += "\"nul inside\""; // NUL would end the row: sent as a blank
    expected += '\0';
    EXPECT_EQ(block, expected);
    const QList<QByteArray> first = odbc::splitRowText(QByteArray("0000200001,\xff,\"\",\"Huvudbok okt\",\"a\"\"b\""));
    EXPECT_EQ(first.size(), 5);
    EXPECT_EQ(first[1], "\xff");
}

TEST(FieldDefs, DocumentReadsBackWithTheClientsParser)
{
    const QList<ColumnInfo> columns = {
        {QStringLiteral("FID"), WireType::String, 10, true, false, QStringLiteral("CATALOG.FID")},
        {QStringLiteral("FDATE"), WireType::Int32, 0, true, false, QStringLiteral("CATALOG.FDATE")},
        {QStringLiteral("a<b\nc"), WireType::Double, 0, false, true, QString()},
        {QStringLiteral("Bokfört"), WireType::Date, 0, false, false, QStringLiteral("T.Bokfört")},
    };
    const QList<QByteArray> lines = fieldDefsLines(columns, HostCodec::host());
    ASSERT_EQ(lines.size(), columns.size() + 2);
    for (const QByteArray& line : lines)
        EXPECT_FALSE(line.contains('\n') || line.contains('\r')) << line.constData();
    const TODBCFieldList fields = readFieldDefs(lines.join("\r\n"));
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0].field.Name, "FID");
    EXPECT_EQ(fields[0].field.Size, 10);
    EXPECT_TRUE(fields[0].field.Required);
    EXPECT_EQ(fields[0].field.Origin, "CATALOG.FID");
    EXPECT_EQ(fields[1].field.DataType, "int32");
    EXPECT_EQ(fields[2].field.Name, "a_b c"); // "<" and the line break cannot travel
    EXPECT_TRUE(fields[2].field.ReadOnly);
    EXPECT_EQ(fields[2].field.DataType, "double");
    EXPECT_EQ(fields[3].field.Name, "Bokf\xf6rt");
    EXPECT_EQ(fields[3].field.DataType, "date");
}

TEST(SqlText, IsolationClauseIsRemovedOnlyAtTheEnd)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"delete from ANNA where FID='1' with NC", "delete from ANNA where FID='1'"},
        {"update CATALOG set FSTAT='V' where FID='1'  WITH nc ; ", "update CATALOG set FSTAT='V' where FID='1'"},
        {"select 'with NC'", "select 'with NC'"},
        {"select x from t with NC where y=1", "select x from t with NC where y=1"},
        {"select * from WITHNC", "select * from WITHNC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withoutIsolationClause(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(SqlText, ByteLiteralsBecomeBlobLiterals)
{
    const struct {
        const char* sql;
        const char* adapted;
    } cases[] = {
        {"update T set B=0x00FF10 where ID=1", "update T set B=X'00FF10' where ID=1"},
        {"insert into T values (0x00112233445566778899AABBCCDDEEFF,0XAB)",
         "insert into T values (X'00112233445566778899AABBCCDDEEFF',X'AB')"},
        {"select '0x00FF' as s, \"0x10\" from T -- 0x1234", "select '0x00FF' as s, \"0x10\" from T -- 0x1234"},
        {"select 0x1 from T", "select 0x1 from T"},           // odd digit count: an integer
        {"select A0x10, 0x10Z from T", "select A0x10, 0x10Z from T"}, // parts of names
        {"select 0x from T", "select 0x from T"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hexLiteralsAsBlobs(QString::fromLatin1(c.sql)), QString::fromLatin1(c.adapted)) << c.sql;
}

TEST(SqlText, ParameterMarkersOutsideLiterals)
{
    struct Case {
        const char* sql;
        int markers;
    };
    const Case cases[] = {
        {"select * from T where A=? and B=?", 2},
        {"select '?' from T where A=?", 1},
        {"select \"?col\" from T where A='it''s?' and B=?", 1},
        {"select 1 -- what?\n from T where A=?", 1},
        {"select /* ? */ 1 where A=?", 1},
        {"select 'unterminated ?", 0},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(countParameterMarkers(QString::fromLatin1(c.sql)), c.markers) << c.sql;
}

TEST(ErrorText, BackendTextUpToItsEndElseTheDriversOwn)
{
    struct Case {
        QString database;
        QString driver;
        QString expected;
    };
    const QString relation = QStringLiteral("ERROR: relation \"\u00e5\u00e4\u00f6\" does not exist;\nError while executing the query");
    const QList<Case> cases = {
        // A text counted in bytes by the driver manager: its terminator and
        // the rest of the buffer are not part of it.
        {relation + QChar(0) + QStringLiteral("\u00bf\u00bf"), {}, relation},
        {QString(QChar(0)) + QStringLiteral("junk"), QStringLiteral("No query"), QStringLiteral("No query")},
        {QStringLiteral("not an error"), QStringLiteral("Unable to execute multiple statements at a time"),
         QStringLiteral("Unable to execute multiple statements at a time")},
        {QStringLiteral(" no such table: X \n"), QStringLiteral("Unable to execute statement"),
         QStringLiteral("no such table: X")},
        {{}, {}, QStringLiteral("Unknown database error")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorText(QSqlError(c.driver, c.database)), c.expected) << c.database.toStdString();
}
