#include "fakestore.h"
#include "platform/clipboard.h"
#include "platform/convert.h"
#include "platform/exception.h"
#include "printfiles/tprintfile.h"

#include <gtest/gtest.h>

using namespace lystra;
using namespace lystra::test;

namespace {

QDateTime wallClock(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

TEST(PrintFileHeader, ReadsCreatedFromDateAndTime)
{
    struct Case {
        const char* name;
        QByteArray fdate, ftime;
        QDateTime created;
        bool hasDate;
    };
    const Case cases[] = {
        {"short time gets leading zeros", "20080312", "93000", wallClock(2008, 3, 12, 9, 30), true},
        {"last six digits give no time", "20080312", "1234567", wallClock(2008, 3, 12), true},
        {"full time", "20081231", "235959", wallClock(2008, 12, 31, 23, 59, 59), true},
        {"blanks around the numbers", " 20080312 ", " 93000 ", wallClock(2008, 3, 12, 9, 30), true},
        {"date too short is the zero date", "2008031", "93000", wallClock(1899, 12, 30, 9, 30),
         false},
        {"no such day", "20080230", "0", wallClock(1899, 12, 30), false},
        {"year zero", "00000101", "120000", wallClock(1899, 12, 30, 12), false},
        {"not digits", "2008-3-1", "12:00", wallClock(1899, 12, 30), false},
    };
    FakeStore store;
    for (const Case& c : cases) {
        TPrintFile file(&store, headerRow({{"FDATE", c.fdate}, {"FTIME", c.ftime}}));
        EXPECT_EQ(file.Created(), c.created) << c.name;
        EXPECT_EQ(file.HasCreatedDate(), c.hasDate) << c.name;
        EXPECT_EQ(file.CreatedDateDigits(),
                  c.hasDate ? c.created.date().toString(u"yyyyMMdd").toLatin1() : QByteArray("0"))
            << c.name;
    }
}

TEST(PrintFileHeader, ReadsPitchesWithEitherDecimalMark)
{
    struct Case {
        QByteArray fcpi, flpi;
        double cpi, lpi;
    };
    const Case cases[] = {
        {"16,7", "8.5", 16.7, 8.5},
        {"16.7", "8,5", 16.7, 8.5},
        {"  ", "", 10, 6},
        {"15", " 6 ", 15, 6},
        // A pitch no printer has would break the geometry: treated as blank.
        {"0", "-6", 10, 6},
        {"1e-300", "1e300", 10, 6},
    };
    FakeStore store;
    for (const Case& c : cases) {
        TPrintFile file(&store, headerRow({{"FCPI", c.fcpi}, {"FLPI", c.flpi}}));
        EXPECT_DOUBLE_EQ(file.Cpi(), c.cpi) << c.fcpi.constData();
        EXPECT_DOUBLE_EQ(file.Lpi(), c.lpi) << c.flpi.constData();
    }
}

TEST(PrintFileHeader, TrimsTextsAndFallsBackToJobName)
{
    FakeStore store;
    TPrintFile file(&store, headerRow({{"FID", " 0042 "},
                                       {"FNAME", " QPRINT "},
                                       {"FTXT", "   "},
                                       {"JOBNAM", " L\xc5NJOB "},
                                       {"FSTAT", " V "}}));
    EXPECT_EQ(file.Id(), "0042");
    EXPECT_EQ(file.FileName(), "QPRINT");
    EXPECT_EQ(file.JobName(), "L\xc5NJOB");
    EXPECT_EQ(file.Title(), "L\xc5NJOB");
    EXPECT_TRUE(file.IsViewed());
    EXPECT_EQ(file.PageLength(), 66);
    EXPECT_EQ(file.PageWidth(), 132);
    EXPECT_EQ(file.PageCount(), 1);
}

TEST(PrintFileHeader, BadValuesFailTheRow)
{
    FakeStore store;
    const QList<std::pair<QByteArray, QByteArray>> bad[] = {
        {{"FHGHT", "66a"}},  {{"FWIDTH", ""}},  {{"FPAGES", "1.5"}},     {{"FCPI", "ten"}},
        {{"FLPI", "1,2,3"}}, {{"FLPI", "inf"}}, {{"USER", "<missing>"}}, {{"JOBNAM", "<missing>"}},
    };
    for (const auto& change : bad) {
        EXPECT_THROW(TPrintFile(&store, headerRow(change)), Exception)
            << change[0].first.constData();
    }
}

TEST(PrintFileHeader, PortraitFromFiftySixLines)
{
    FakeStore store;
    EXPECT_FALSE(TPrintFile(&store, headerRow({{"FHGHT", "55"}})).IsPortrait());
    EXPECT_TRUE(TPrintFile(&store, headerRow({{"FHGHT", "56"}})).IsPortrait());
}

TEST(PrintFileStatus, UpdatesOnlyWhenChangedAndQuotesValues)
{
    FakeStore store;
    TPrintFile viewed(&store, headerRow({{"FSTAT", "V"}}));
    viewed.SetViewed(true);
    EXPECT_TRUE(store.statements.isEmpty());

    TPrintFile fresh(&store, headerRow({{"FID", "12'; delete from CATALOG --"}}));
    fresh.SetViewed(true);
    ASSERT_EQ(store.statements.size(), 1);
    EXPECT_EQ(store.statements[0],
              "update CATALOG set FSTAT='V' where FID='12''; delete from CATALOG --' with NC");
    EXPECT_TRUE(fresh.IsViewed());
    fresh.SetViewed(true);
    EXPECT_EQ(store.statements.size(), 1);
}

TEST(PrintFileStatus, StatusStaysChangedWhenUpdateFails)
{
    struct FailingStore : FakeStore {
        void Execute(const QByteArray&) override { throw Exception(QStringLiteral("no")); }
    } store;
    TPrintFile file(&store, headerRow());
    EXPECT_THROW(file.SetViewed(true), Exception);
    EXPECT_TRUE(file.IsViewed());
}

TEST(PrintFile, DocumentFileNameHasDateAndTimeAndIsSafeAsAName)
{
    const struct {
        QList<std::pair<QByteArray, QByteArray>> header;
        QString name;
    } cases[] = {
        {{}, QStringLiteral("QPRINT-20080312-093000-4711")},
        // Midnight still writes its six digits; an unreadable date is day 0.
        {{{"FTIME", "0"}}, QStringLiteral("QPRINT-20080312-000000-4711")},
        {{{"FDATE", "2008"}, {"FTIME", "235959"}}, QStringLiteral("QPRINT-18991230-235959-4711")},
        {{{"FNAME", "../x"}, {"FID", "a/b:c"}, {"FTIME", "0"}},
         QStringLiteral(".._x-20080312-000000-a_b_c")},
    };
    FakeStore store;
    for (const auto& c : cases)
        EXPECT_EQ(TPrintFile(&store, headerRow(c.header)).DocumentFileName(), c.name);
}

TEST(PrintPageReading, SelectsRowsOfOnePageOnFirstUse)
{
    FakeStore store;
    auto file = store.makeFile("4711", {plain({"a"}), plain({"b", "c"})});
    EXPECT_FALSE(file->IsPageLoaded(1));
    const TPrintPage& page = file->Page(1);
    ASSERT_EQ(store.statements.size(), 1);
    EXPECT_EQ(store.statements[0],
              "select FPAGE,FLINE,FCTL,FROW from ANNA where FID='4711' and FPAGE=2 order by FLINE");
    EXPECT_EQ(page.PageNo(), 2);
    ASSERT_EQ(page.RowCount(), 2);
    EXPECT_EQ(page.Row(1).RowNo, 2);
    EXPECT_EQ(page.Row(1).PageNo, 2);
    EXPECT_EQ(&file->Page(1), &page);
    EXPECT_EQ(store.statements.size(), 1);
    EXPECT_THROW(file->Page(2), Exception);
    EXPECT_THROW(file->Page(-1), Exception);
}

TEST(PrintPageReading, ArchiveModeSelectsByDateAndIdentityIsQuoted)
{
    FakeStore store;
    store.archive = true;
    store.spool = "ARK08.ARKSPF";
    auto file = store.makeFile("O'1", {plain({"a"})});
    file->Page(0);
    EXPECT_EQ(store.statements.last(), "select FPAGE,FLINE,FCTL,FROW from ARK08.ARKSPF where "
                                       "FID='O''1' and FDATE=20080312 and FPAGE=1 order by FLINE");
}

TEST(PrintPageReading, FailedPageIsReadAgainAtNextUse)
{
    FakeStore store;
    auto file = store.makeFile("1", {plain({"a"})});
    store.failSelects = 1;
    EXPECT_THROW(file->Page(0), Exception);
    EXPECT_FALSE(file->IsPageLoaded(0));
    store.fpageOverride = "x";
    EXPECT_THROW(file->Page(0), EConvertError);
    store.fpageOverride.clear();
    EXPECT_EQ(file->Page(0).RowCount(), 1);
    EXPECT_EQ(store.statements.size(), 3);
}

TEST(PrintPageLines, NumberedFromControlCodes)
{
    struct Case {
        const char* name;
        QList<Line> rows;
        QList<int> lines;
        QByteArray text;
    };
    const Case cases[] = {
        {"blank codes count one each",
         {{"", "a"}, {"", "b"}, {" ", "c"}},
         {1, 2, 3},
         "a\r\nb\r\nc"},
        {"skip, skip two, overprint",
         {{" ", "a"}, {"0", "b"}, {"-", "c"}, {"+", "d"}},
         {1, 3, 6, 6},
         "a\r\n\r\nb\r\n\r\n\r\nc"},
        {"first row skips a line", {{"0", "a"}, {"", "b"}}, {2, 3}, "\r\na\r\nb"},
        {"overprint first lands on line 0", {{"+", "a"}, {"", "b"}}, {0, 1}, "a\r\nb"},
        {"overprints on line 1 are all kept",
         {{"", "ab"}, {"+", "__"}, {"", "c"}},
         {1, 1, 2},
         "ab__\r\nc"},
        {"only the first character of FCTL counts",
         {{"0X", "a"}, {"1", "b"}},
         {2, 3},
         "\r\na\r\nb"},
        {"trailing blanks stay", {{"", "a  "}, {"", "  "}}, {1, 2}, "a  \r\n  "},
    };
    FakeStore store;
    for (const Case& c : cases) {
        auto file = store.makeFile(c.name, {c.rows}, {{"FTXT", "title"}});
        const TPrintPage& page = file->Page(0);
        QList<int> lines;
        for (const TPrintRow& row : page.Rows())
            lines << row.Line;
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(page.Text(), c.text) << c.name;
    }
}

TEST(PrintPageLines, ControlTextKeepsEveryRowWithItsCode)
{
    FakeStore store;
    auto file = store.makeFile("1", {{{"", "a"}, {"0", "b "}, {"+", "c"}}});
    EXPECT_EQ(file->Page(0).ControlText(), " a\r\n0b \r\n+c\r\n");
}

TEST(PrintPageLines, TrailingTitleRowIsDropped)
{
    FakeStore store;
    auto titled = store.makeFile("1", {plain({"a", "   Fakturor  "}), plain({"Fakturor", "b"})});
    EXPECT_EQ(titled->Page(0).RowCount(), 1);
    EXPECT_EQ(titled->Page(1).RowCount(), 2);

    auto byJob = store.makeFile("2", {plain({"a", " FAKTJOB"})}, {{"FTXT", ""}});
    EXPECT_EQ(byJob->Page(0).Text(), "a");
}

TEST(PrintRow, IndentCountsBlanksOnly)
{
    struct Case {
        QByteArray text;
        int indent;
        QByteArray trimmed;
    };
    const Case cases[] = {{"abc", 1, "abc"},   {"   abc ", 4, "abc "}, {"", 1, ""},
                          {"    ", 1, "    "}, {"\tabc", 1, "\tabc"},  {"  \tx", 3, "\tx"}};
    for (const Case& c : cases) {
        TPrintRow row;
        row.Text = c.text;
        EXPECT_EQ(row.Indent(), c.indent) << c.text.constData();
        EXPECT_EQ(row.TrimmedText(), c.trimmed) << c.text.constData();
    }
}

TEST(PrintPage, CopyPageToClipboardNormalisesNumbers)
{
    FakeStore store;
    auto file = store.makeFile("1", {plain({"Summa 1.234,50", "R\xe4kna"})});
    file->Page(0).CopyPageToClipboard();
    EXPECT_EQ(Clipboard::current().text(), QStringLiteral("Summa  1234,50\r\nR\u00e4kna"));
}
