#include "fakestore.h"
#include "platform/exception.h"
#include "printfiles/tprintfile.h"
#include "printfiles/ttableformat.h"

#include <gtest/gtest.h>

using namespace lystra;
using namespace lystra::test;

namespace {

// A line with each text starting at its 1-based position, blanks between.
QByteArray at(std::initializer_list<std::pair<int, QByteArray>> cells)
{
    QByteArray line;
    for (const auto& [pos, text] : cells) {
        const qsizetype end = pos - 1 + text.size();
        if (line.size() < end)
            line.append(end - line.size(), ' ');
        line.replace(pos - 1, text.size(), text);
    }
    return line;
}

// Columns Namn 1-10, Belopp 12-21, Datum 23-30 (the I marks at 11 and 22).
const QByteArray kHeading = at({{1, "Namn"}, {12, "Belopp"}, {23, "Datum"}});
const QByteArray kRuler = "----------I----------I--------";

QByteArray dataRow(const QByteArray& name, const QByteArray& amount, const QByteArray& date = {})
{
    return at({{1, name}, {22 - static_cast<int>(amount.size()), amount}, {23, date}});
}

QList<QByteArray> cellTexts(TPrintFile& file, int column)
{
    QList<QByteArray> texts;
    for (int i = 0; i < file.TableRowCount(); ++i)
        texts << file.GetCellText(i, column);
    return texts;
}

} // namespace

TEST(TableFormat, RulerLines)
{
    struct Case {
        QByteArray line;
        bool ruler;
    };
    const Case cases[] = {
        {"----I-----I----", true},
        {"   I   I   ", true},
        {"====I====X", true},
        {"II", true},
        {"_I_", true},
        {"-------", false},
        {"", false},
        {"     ", false},
        {"I", false},
        {"--I--x--", false},
        {"Fakturor I lager", false},
        {"\t--I--", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TTableFormat::IsSeparatorLine(c.line), c.ruler) << c.line.constData();
}

TEST(TableFormat, ColumnsAreCutAtTheMarksAndNamedFromTheLineAbove)
{
    FakeStore store;
    auto file = store.makeFile("1", {plain({"Rubrik", kHeading, kRuler, dataRow("Anna", "1,00")})});
    ASSERT_EQ(file->ColumnCount(), 3);
    struct Expect {
        int start, end;
        QByteArray name;
    };
    const Expect expected[] = {{1, 10, "Namn"}, {12, 21, "Belopp"}, {23, 31, "Datum"}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(file->Column(k).StartCol, expected[k].start) << k;
        EXPECT_EQ(file->Column(k).EndCol, expected[k].end) << k;
        EXPECT_EQ(file->Column(k).Name, expected[k].name) << k;
    }
    EXPECT_EQ(file->Table().HeaderPage(), 1);
    EXPECT_EQ(file->Table().FirstDataRow(), 3);
    EXPECT_THROW(file->Column(3), Exception);

    // Marks at the start and side by side give empty columns.
    auto edge = store.makeFile("2", {plain({"I--II--", "x"})});
    ASSERT_EQ(edge->ColumnCount(), 4);
    EXPECT_EQ(edge->Column(0).Width(), 0);
    EXPECT_EQ(edge->Column(2).Width(), 0);
    EXPECT_EQ(edge->Column(3).StartCol, 6);
    EXPECT_EQ(edge->Column(3).EndCol, 8);
    EXPECT_EQ(edge->Column(0).Name, ""); // the ruler is the page's first row
}

TEST(TableFormat, RulerIsSearchedOnTheFirstThreePagesOnly)
{
    FakeStore store;
    const QList<QByteArray> noRuler = {"text", "more text"};
    auto onPage2 = store.makeFile(
        "2", {plain(noRuler),
              plain({"x", kHeading, kRuler, dataRow("Anna", "1,00"), dataRow("Bo", "2,00")}),
              plain({"p3", "p3", "p3", dataRow("Cesar", "3,00")})});
    EXPECT_EQ(onPage2->ColumnCount(), 3);
    EXPECT_EQ(onPage2->Table().HeaderPage(), 2);
    // Rows come from page 2 on, and on every page from the row after the ruler's index.
    EXPECT_EQ(cellTexts(*onPage2, 0), (QList<QByteArray>{"Anna", "Bo", "Cesar"}));

    auto onPage4 = store.makeFile("4", {plain(noRuler), plain(noRuler), plain(noRuler),
                                        plain({kHeading, kRuler, dataRow("Anna", "1,00")})});
    EXPECT_EQ(onPage4->ColumnCount(), 0);
    EXPECT_EQ(onPage4->TableRowCount(), 0);
    EXPECT_FALSE(onPage4->IsPageLoaded(3));
}

TEST(TableFormat, ColumnKindsFromTheCells)
{
    struct Case {
        const char* name;
        QByteArray heading;
        QList<QByteArray> cells;
        TColumnKind kind;
        int decimals;
    };
    const QList<QByteArray> oneDecimalOfNine = {" 12,50", "12", "12", "12", "12",
                                                "12",     "12", "12", "12"};
    const QList<QByteArray> threeOfTen = {" 1,50", " 2,50", " 3,50", "4", "5",
                                          "6",     "7",     "8",     "9", "10"};
    const QList<QByteArray> fourOfTen = {" 1,50", " 2,50", " 3,50", " 4,5", "5",
                                         "6",     "7",     "8",     "9",    "10"};
    const Case cases[] = {
        {"9 cells, 1 right-aligned decimal: number", "Belopp", oneDecimalOfNine,
         TColumnKind::Number, 2},
        {"10 cells, 3 decimals: 0.7 > 0.6 makes text", "Belopp", threeOfTen, TColumnKind::Text, 2},
        {"10 cells, 4 decimals: 0.6 stays number", "Belopp", fourOfTen, TColumnKind::Number, 1},
        {"integers alone stay text", "Antal", {"  12", "  13"}, TColumnKind::Text, 0},
        {"left-aligned decimals stay text", "Belopp", {"12,50", "1.234,50"}, TColumnKind::Text, 0},
        {"decimals from the last right-aligned cell",
         "Belopp",
         {"  1,5", " 1.234,567"},
         TColumnKind::Number,
         3},
        {"Bokfört with numbers is a date", "Bokf\xf6rt", {"080312"}, TColumnKind::Date, 0},
        {"BOKFÖRT in capitals too", "BOKF\xd6RT", {"080312"}, TColumnKind::Date, 0},
        {"Bokfört belopp is not", "Bokf\xf6rt belopp", {" 12,50"}, TColumnKind::Number, 2},
        {"Bokfört värde is not", "Bokf\xf6rt v\xe4rde", {"080312"}, TColumnKind::Text, 0},
        {"Datum", "Datum", {"20080312"}, TColumnKind::Date, 0},
        {"Lev.dag", "Lev.dag", {"080312"}, TColumnKind::Date, 0},
        {"a date name without numbers stays text", "Fakt.dat", {"mars"}, TColumnKind::Text, 0},
    };
    for (const Case& c : cases) {
        TColumnDef column;
        column.Name = c.heading;
        for (const QByteArray& cell : c.cells)
            EXPECT_TRUE(TTableFormat::ClassifyCell(column, cell)) << c.name;
        TTableFormat::FinalizeColumnType(column);
        EXPECT_EQ(column.Kind, c.kind) << c.name;
        EXPECT_EQ(column.Decimals, c.decimals) << c.name;
    }
}

TEST(TableFormat, FormatMaskAndAlignment)
{
    TColumnDef column;
    column.StartCol = 1;
    column.EndCol = 10;
    EXPECT_EQ(column.FormatMask(), QString());
    EXPECT_EQ(column.Alignment(), Qt::AlignLeft);
    column.Kind = TColumnKind::Number;
    EXPECT_EQ(column.Alignment(), Qt::AlignRight);
    EXPECT_EQ(column.FormatMask(), QStringLiteral(",#########"));
    column.Decimals = 2;
    EXPECT_EQ(column.FormatMask(), QStringLiteral(",#####0.00"));
    column.EndCol = 3;
    EXPECT_EQ(column.FormatMask(), QStringLiteral(",.00"));
    column.Kind = TColumnKind::Date;
    EXPECT_EQ(column.FormatMask(), QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(column.Alignment(), Qt::AlignHCenter);
}

TEST(TableFormat, NumberAndDateCells)
{
    FakeStore store;
    const QList<QByteArray> rows = {
        kHeading,
        kRuler,
        dataRow("a", "1.234,56-", "090312"),
        dataRow("b", "**1.234,50", "990312"),
        dataRow("c", "1,234.56", "490312"),
        dataRow("d", "12,5", "500312"),
        dataRow("e", "1,00", "20080312"),
        dataRow("f", "2,00", "20081340"),
        dataRow("g", "3,00", "12345"),
        dataRow("h", "4,00", "9912311"),
    };
    auto file = store.makeFile("1", {plain(rows)});
    ASSERT_EQ(file->ColumnCount(), 3);
    EXPECT_EQ(file->Column(1).Kind, TColumnKind::Number);
    EXPECT_EQ(file->Column(2).Kind, TColumnKind::Date);
    EXPECT_EQ(cellTexts(*file, 1), (QList<QByteArray>{"-1234,56", "1234,50", "1234,56", "12,5",
                                                      "1,00", "2,00", "3,00", "4,00"}));
    EXPECT_EQ(cellTexts(*file, 2),
              (QList<QByteArray>{"2009-03-12", "1999-03-12", "2049-03-12", "1950-03-12",
                                 "2008-03-12", "1899-12-30", "12345", "1999-12-31"}));
}

TEST(TableFormat, TextRunsOnIntoFollowingColumns)
{
    FakeStore store;
    const QList<QByteArray> rows = {
        kHeading,
        kRuler,
        dataRow("ABCDEFGHIJKLMN", "1,00"),
        // Runs to the mark after Belopp, where text goes on: takes the line to its end.
        at({{1, "AAAAAAAAAAAA"}, {14, "BBBBBBBB"}, {22, "C"}, {23, "DDDD"}}),
        dataRow("Anna", "2,00"),
    };
    auto file = store.makeFile("1", {plain(rows)});
    ASSERT_EQ(file->TableRowCount(), 3);
    // Past its column the name takes in the whole next column.
    EXPECT_EQ(file->GetCellText(0, 0), "ABCDEFGHIJKLMN   1,00");
    EXPECT_EQ(file->GetCellText(0, 1), ""); // its first position continues the name
    EXPECT_EQ(file->GetCellText(0, 2), "");
    EXPECT_EQ(file->GetCellText(1, 0), "AAAAAAAAAAAA BBBBBBBBCDDDD");
    EXPECT_EQ(file->GetCellText(2, 0), "Anna");
    EXPECT_EQ(file->GetCellText(2, 1), "2,00");
    EXPECT_THROW(file->GetCellText(3, 0), Exception);
    EXPECT_THROW(file->GetCellText(0, 3), Exception);
}

TEST(TableFormat, UnderlinesFiltersAndTheRowAfterAnUnderline)
{
    FakeStore store;
    const QList<QByteArray> rows = {
        kHeading,
        kRuler,
        dataRow("Anna", "1.234,50"),
        dataRow("Bertil", "100,00"),
        dataRow("", "----------"),       // underline in a number column: left out
        "",                              // blank lines are skipped without counting
        dataRow("Delsumma", "1.334,50"), // filtered before the underline rule looks
        dataRow("Summa", "1.334,50"),    // the row after the underline: left out
        dataRow("Cesar", "10,00"),
        dataRow("Dora", "-"), // a lone minus is a value, not an underline
    };
    auto file = store.makeFile("1", {plain(rows)});
    file->Table().RowFilters = {"Delsumma", ""};
    EXPECT_EQ(cellTexts(*file, 0), (QList<QByteArray>{"Anna", "Bertil", "Cesar", "Dora"}));

    // Switching the filter off collects again with the same columns.
    file->Table().RowFilters.clear();
    file->CollectTableRows();
    EXPECT_EQ(cellTexts(*file, 0), (QList<QByteArray>{"Anna", "Bertil", "Summa", "Cesar", "Dora"}));
    EXPECT_EQ(file->ColumnCount(), 3);
}

TEST(TableFormat, RowsBeyondTheHundredthOfAPageKeepTheirPlace)
{
    QList<QByteArray> first = {kHeading, kRuler};
    for (int i = 1; i <= 150; ++i)
        first << dataRow("Rad " + QByteArray::number(i), "1,00");
    FakeStore store;
    auto file = store.makeFile("1", {plain(first), plain({"x", "y", dataRow("Sist", "2,00")})});
    ASSERT_EQ(file->TableRowCount(), 151);
    EXPECT_EQ(file->GetCellText(99, 0), "Rad 100");
    EXPECT_EQ(file->GetCellText(100, 0), "Rad 101");
    EXPECT_EQ(file->GetCellText(149, 0), "Rad 150");
    EXPECT_EQ(file->GetCellText(150, 0), "Sist");
}

TEST(TableFormat, OverprintRowsAreCollectedAndMarked)
{
    FakeStore store;
    auto file = store.makeFile("1", {{{"", kHeading},
                                      {"", kRuler},
                                      {"", dataRow("Anna", "1,00")},
                                      {"+", dataRow("Anna", "1,00")}}});
    ASSERT_EQ(file->TableRowCount(), 2);
    EXPECT_FALSE(file->IsOverprintRow(0));
    EXPECT_TRUE(file->IsOverprintRow(1));
}

TEST(TableFormat, AnalysisRaisesProgressPerPageAndIsRetriedAfterAFailure)
{
    FakeStore store;
    auto file = store.makeFile("1", {plain({kHeading, kRuler, dataRow("a", "1,00")}),
                                     plain({"x", "y", dataRow("b", "2,00")}),
                                     plain({"x", "y", dataRow("c", "3,00")})});
    int progress = 0;
    file->OnProgress = [&progress](TPrintFile&) {
        ++progress;
    };

    // Page 3 fails to load once: no half-built table is left behind.
    file->Page(0);
    file->Page(1);
    store.failSelects = 1;
    EXPECT_THROW(file->ColumnCount(), Exception);
    EXPECT_FALSE(file->Table().Analysed());
    EXPECT_EQ(file->ColumnCount(), 3);
    EXPECT_EQ(cellTexts(*file, 0), (QList<QByteArray>{"a", "b", "c"}));
    EXPECT_EQ(progress, 2 + 3);
}
