#include "odbc/odbcprotocol.h"

#include <gtest/gtest.h>

using namespace lystra::odbc;

namespace {

QByteArray operator""_b(const char* text, std::size_t size)
{
    return QByteArray(text, static_cast<qsizetype>(size));
}

struct RowCase {
    const char* name;
    QByteArray text;
    QList<QByteArray> values;
};

class RowSplit : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowSplit, GivesTheValues)
{
    EXPECT_EQ(splitRowText(GetParam().text), GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowSplit,
    ::testing::Values(
        RowCase{"QuotedBlankEmptyAndDoubledQuote", R"(abc,"d e",,"""")", {"abc", "d e", "", "\""}},
        RowCase{"BlankSeparates", "one two", {"one", "two"}},
        RowCase{"TrailingCommaAddsEmptyValue", "a,", {"a", ""}},
        RowCase{"CommaThenBlanksAtEndAddsNothing", "a, ", {"a"}},
        RowCase{"LeadingCommaGivesEmptyFirstValue", ",a", {"", "a"}},
        RowCase{"BlanksAroundCommas", "  a ,\tb , c  ", {"a", "b", "c"}},
        RowCase{"EmptyText", "", {}},
        RowCase{"OnlyBlanks", " \t ", {}},
        RowCase{"UnclosedQuoteTakesTheRest", R"(x,"open, "" end)", {"x", "open, \" end"}},
        RowCase{"TextAfterClosingQuoteIsNextValue", R"("ab"cd)", {"ab", "cd"}},
        RowCase{"QuotedEmpty", R"("",b)", {"", "b"}},
        RowCase{"HighBytesAreText", "\xe5\xe4\xf6,\xa0x", {"\xe5\xe4\xf6", "\xa0x"}},
        RowCase{"NullMarkerStaysOneValue", "\xff,\xff", {"\xff", "\xff"}},
        RowCase{"NulEndsTheText", "a,\"b\0c\",d"_b, {"a", "b"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RowSplit, ReusedListTakesTheShorterRowAndLeavesCopiesAlone)
{
    QList<QByteArray> values;
    splitRowText("first,second,third", values);
    const QList<QByteArray> kept = values;
    splitRowText("\"x y\",z", values);
    EXPECT_EQ(values, (QList<QByteArray>{"x y", "z"}));
    EXPECT_EQ(kept, (QList<QByteArray>{"first", "second", "third"}));
}

TEST(RowBlock, RowsEndAtNulAndAnUnterminatedTailIsTheLastRow)
{
    const QByteArray block = "a,\"b\0\0c, d"_b;
    struct Row {
        QByteArray text;
        bool terminated;
        QList<QByteArray> values;
    };
    const QList<Row> expected{{"a,\"b", true, {"a", "b"}}, {"", true, {}}, {"c, d", false, {"c", "d"}}};
    // Both ways through a block must agree: delimiting then splitting, and
    // the one-pass split the client uses.
    QList<Row> twoPass;
    QList<Row> onePass;
    QList<QByteArray> values;
    for (qsizetype pos = 0; pos < block.size();) {
        const RowParse row = nextRow(block, pos);
        twoPass.append({row.text.toByteArray(), row.terminated, splitRowText(row.text)});
        const RowParse split = splitNextRow(block, pos, values);
        onePass.append({split.text.toByteArray(), split.terminated, values});
        EXPECT_EQ(split.next, row.next);
        pos = row.next;
    }
    for (const QList<Row>* rows : {&twoPass, &onePass}) {
        ASSERT_EQ(rows->size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            EXPECT_EQ((*rows)[i].text, expected[i].text) << i;
            EXPECT_EQ((*rows)[i].terminated, expected[i].terminated) << i;
            EXPECT_EQ((*rows)[i].values, expected[i].values) << i;
        }
    }
}

TEST(Lines, EndAtLfWithOneCrRemoved)
{
    struct Case {
        QByteArray bytes;
        ParseStatus status;
        QByteArray line;
        qsizetype consumed;
    };
    const Case cases[] = {
        {"abc\r\nrest", ParseStatus::Complete, "abc", 5},
        {"abc\nrest", ParseStatus::Complete, "abc", 4},
        {"a\rb\r\r\n", ParseStatus::Complete, "a\rb\r", 6},
        {"\n", ParseStatus::Complete, "", 1},
        {"no end\r", ParseStatus::NeedMore, "", 0},
    };
    for (const Case& c : cases) {
        const LineParse line = parseLine(c.bytes);
        EXPECT_EQ(line.status, c.status) << c.bytes.constData();
        EXPECT_EQ(line.line, c.line) << c.bytes.constData();
        EXPECT_EQ(line.consumed, c.consumed) << c.bytes.constData();
    }
    // Resuming after a partial scan finds the LF that arrived later.
    EXPECT_EQ(parseLine("abcdef\r\n", 6).line, "abcdef");
}

struct ReplyCase {
    const char* name;
    QByteArray bytes;
    QByteArray code;
    int numericCode;
    QByteArray replyString;
    qsizetype consumed;
};

class Replies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(Replies, ParseCodeAndText)
{
    const ReplyCase& c = GetParam();
    const ReplyParse parsed = parseReply(c.bytes);
    ASSERT_EQ(parsed.status, ParseStatus::Complete);
    EXPECT_EQ(parsed.reply.code, c.code);
    EXPECT_EQ(parsed.reply.numericCode, c.numericCode);
    EXPECT_EQ(parsed.reply.replyString(), c.replyString);
    EXPECT_EQ(parsed.consumed, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Replies,
    ::testing::Values(
        ReplyCase{"SingleLine", "200 OK\r\nnext", "200", 200, "OK\r\n", 8},
        ReplyCase{"BlankAndControlLinesSkipped", "\r\n \t\x01\r\n  512 Bad table \r\n", "512", 512,
                  "Bad table\r\n", 25},
        ReplyCase{"MultiLineUntilCodeAndBlank", "200-one\r\n200-two\r\nplain\r\n200 last\r\n", "200",
                  200, "one\r\ntwo\r\nn\r\nlast\r\n", 35},
        ReplyCase{"MultiLineEndsAtShortLine", "201-a\r\n\r\nok\r\nrest\r\n", "201", 201, "a\r\n\r\n",
                  13},
        ReplyCase{"EndComparedWithoutCase", "abc-x\r\nABC y\r\n", "abc", 0, "x\r\ny\r\n", 14},
        ReplyCase{"CodeOnly", "522\n", "522", 522, "\r\n", 4},
        ReplyCase{"ShortFirstLineIsWholeReply", "OK\r\n", "OK", 0, "\r\n", 4},
        ReplyCase{"FourthCharacterNotDash", "200xmore\r\n", "200x", 0, "more\r\n", 10}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Replies, NeedMoreUntilTheReplyIsWhole)
{
    EXPECT_EQ(parseReply("200 OK").status, ParseStatus::NeedMore);
    EXPECT_EQ(parseReply("200-a\r\n200-b\r\n").status, ParseStatus::NeedMore);
    EXPECT_EQ(parseReply("\r\n\r\n").status, ParseStatus::NeedMore);
}

TEST(Blocks, LengthIsFourBytesBigEndian)
{
    EXPECT_EQ(parseBlockLength("\x00\x00\x01\x02xyz"_b), 258u);
    EXPECT_EQ(parseBlockLength("\xff\xff\xff\xff"_b), 4294967295u);
    EXPECT_EQ(parseBlockLength("\x00\x00\x01"_b), std::nullopt);
}

TEST(Commands, StatementFlattensOnlyCrLfPairs)
{
    EXPECT_EQ(flattenStatement("select a\r\nfrom b\r\n\r\nwhere c"), "select a from b  where c");
    EXPECT_EQ(flattenStatement("a\nb\rc\n\rd"), "a\nb\rc\n\rd");
}

TEST(Commands, ExecSqlWordFollowsTheGreetingAsText)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"200 VIDAZEVIVU 1.7", "execsql"},   {"200 VIDAZEVIVU 1.8", "execsql2"},
        {"200 VIDAZEVIVU 1.10", "execsql"},  {"200 vidazevivu 1.9", "execsql2"},
        {"200 VIDAZEVIVU 1.7.1", "execsql2"}, {"200 VIDAZEVIVU", "execsql"},
        {"220 other server", "execsql2"},
    };
    for (const auto& [greeting, word] : cases)
        EXPECT_EQ(execSqlCommandFor(greeting), word) << greeting.constData();
}

TEST(Commands, NameValueReplacesByNameOrAppends)
{
    QList<QByteArray> list{"1", "abc", "Out=old"};
    setNameValue(list, "OUT", "new");
    setNameValue(list, "Count", "");
    EXPECT_EQ(list, (QList<QByteArray>{"1", "abc", "Out=new", "Count="}));
}

} // namespace
