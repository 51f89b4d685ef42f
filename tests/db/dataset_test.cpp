#include "fakedriver.h"

#include "db/edatabaseerror.h"
#include "db/tcsdataset.h"
#include "platform/screencursor.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

// A page-row-like table: FID int, FTEXT string(20), FNOTE string(10).
FakeResult rows(int count)
{
    FakeResult result;
    result.columns = {{QStringLiteral("FID"), ftInteger, 0},
                      {QStringLiteral("FTEXT"), ftString, 20},
                      {QStringLiteral("FNOTE"), ftString, 10}};
    for (int i = 1; i <= count; ++i)
        result.rows.append(QVariantList{i, QByteArray(QByteArray("Row ") + QByteArray::number(i)), QVariant()});
    return result;
}

class DatasetTest : public testing::Test {
protected:
    DatasetTest() { db.driver.results.insert("select * from T", rows(500)); }

    std::unique_ptr<TcsQuery> query(const QByteArray& sql = "select * from T", TcsExecuteOptions options = {})
    {
        auto q = std::make_unique<TcsQuery>();
        q->SetDataBaseName(QStringLiteral("TESTDB"));
        q->SetSQLText(sql);
        q->SetExecuteOptions(options);
        return q;
    }

    FakeDatabase db{QStringLiteral("TESTDB")};
};

struct CountCase {
    const char* name;
    TcsExecuteOptions options;
    int afterOpen;
    int afterTenNext;
};

class RecordCountTest : public DatasetTest, public testing::WithParamInterface<CountCase> {};

TEST_P(RecordCountTest, CountsRowsFetchedSoFarThenAll)
{
    auto q = query("select * from T", GetParam().options);
    q->Open();
    EXPECT_EQ(q->RecordCount(), GetParam().afterOpen);
    EXPECT_EQ(q->RecNo(), 1);
    for (int i = 0; i < 10; ++i)
        q->Next();
    EXPECT_EQ(q->RecordCount(), GetParam().afterTenNext);
    EXPECT_EQ(q->RecNo(), 11);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 11);
    q->Last();
    EXPECT_EQ(q->RecordCount(), 500);
    EXPECT_EQ(q->RecNo(), 500);
    EXPECT_TRUE(q->Eof());
    q->Next();
    EXPECT_EQ(q->FieldByName(u"FTEXT").AsString(), "Row 500");
    q->First();
    EXPECT_TRUE(q->Bof());
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 1);
    q->Prior();
    EXPECT_TRUE(q->Bof());
    EXPECT_EQ(q->MoveBy(4), 4);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 5);
}

INSTANTIATE_TEST_SUITE_P(Options, RecordCountTest,
                         testing::Values(CountCase{"OnDemand", {}, 1, 11},
                                         CountCase{"CacheAll", {eoCacheAll}, 500, 500},
                                         CountCase{"CacheToDisk", {eoCacheToDisk}, 1, 11}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(DatasetTest, EmptyResultIsAtEndAndClearsItsConnection)
{
    FakeResult empty = rows(0);
    db.driver.results.insert("select * from EMPTY", empty);
    auto q = query("select * from EMPTY");
    db.Open();
    const int clearsBefore = db.driver.clears;
    q->Open();
    EXPECT_EQ(q->RecordCount(), 0);
    EXPECT_TRUE(q->Eof());
    EXPECT_TRUE(q->Bof());
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_TRUE(q->AllFetched());
    ASSERT_NE(q->Connection(), nullptr);
    EXPECT_EQ(db.driver.clears - clearsBefore, 1);
}

TEST_F(DatasetTest, WithoutPoolAllFetchedDoesNotClear)
{
    db.SetConnectionPoolSize(0);
    auto q = query();
    q->Open();
    const int clearsBefore = db.driver.clears;
    q->Last();
    EXPECT_EQ(db.driver.clears, clearsBefore);
    q.reset();
    EXPECT_EQ(db.driver.LiveConnections(), 0);
}

TEST_F(DatasetTest, DuplicateColumnNamesGetTheirIndex)
{
    FakeResult result;
    result.columns = {{QStringLiteral("FID"), ftInteger},
                      {QStringLiteral("A"), ftInteger},
                      {QStringLiteral("B"), ftInteger},
                      {QStringLiteral("FID"), ftInteger}};
    result.rows = {{1, 2, 3, 4}};
    db.driver.results.insert("select dup", result);
    auto q = query("select dup");
    q->Open();
    ASSERT_EQ(q->FieldCount(), 4);
    EXPECT_EQ(q->Fields(3).FieldName(), u"FID3");
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 1);
    EXPECT_EQ(q->FieldByName(u"FID3").AsInteger(), 4);
}

TEST_F(DatasetTest, NullDiffersFromEmptyText)
{
    FakeResult result;
    result.columns = {{QStringLiteral("S"), ftString, 5}, {QStringLiteral("I"), ftInteger}};
    result.rows = {{QByteArray(""), QVariant()}, {QVariant(), 0}};
    db.driver.results.insert("select nulls", result);
    auto q = query("select nulls");
    q->Open();
    EXPECT_FALSE(q->FieldByName(u"S").IsNull());
    EXPECT_TRUE(q->FieldByName(u"I").IsNull());
    EXPECT_EQ(q->FieldByName(u"I").AsInteger(), 0);
    q->Next();
    EXPECT_TRUE(q->FieldByName(u"S").IsNull());
    EXPECT_EQ(q->FieldByName(u"S").AsString(), "");
    EXPECT_FALSE(q->FieldByName(u"I").IsNull());
}

TEST_F(DatasetTest, TrimAllStringsCutsTrailingBlanksOnFetchAndWrite)
{
    FakeResult result;
    result.columns = {{QStringLiteral("S"), ftString, 10}};
    result.rows = {{QByteArray("ab  ")}};
    db.driver.results.insert("select padded", result);
    for (const bool trim : {false, true}) {
        auto q = query("select padded");
        q->SetQueryOptions(trim ? TcsQueryOptions{TrimAllStrings, LocalEdit} : TcsQueryOptions{LocalEdit});
        q->Open();
        EXPECT_EQ(q->FieldByName(u"S").AsString(), trim ? "ab" : "ab  ");
        q->Edit();
        q->FieldByName(u"S").SetAsString("cd   ");
        EXPECT_EQ(q->FieldByName(u"S").AsString(), trim ? "cd" : "cd   ");
    }
}

TEST_F(DatasetTest, LongStringIsCutToTheDeclaredSize)
{
    FakeResult result;
    result.columns = {{QStringLiteral("S"), ftString, 3}};
    result.rows = {{QByteArray("abcdef")}};
    db.driver.results.insert("select long", result);
    auto q = query("select long");
    q->Open();
    EXPECT_EQ(q->FieldByName(u"S").AsString(), "abc");
}

TEST_F(DatasetTest, TemporaryFilesExistWhileOpenOnly)
{
    FakeResult result;
    result.columns = {{QStringLiteral("ID"), ftInteger}, {QStringLiteral("DATA"), ftBlob}};
    result.rows = {{1, QByteArray("blob one")}, {2, QByteArray("blob two")}};
    db.driver.results.insert("select blobs", result);
    auto q = query("select blobs", {eoCacheToDisk});
    q->Open();
    const QString records = q->RecordCache()->FileName();
    const QString blobs = q->BlobStore()->FileName();
    EXPECT_TRUE(QFileInfo(records).fileName().startsWith(u"SQL"));
    EXPECT_TRUE(QFileInfo(blobs).fileName().startsWith(u"SQB"));
    EXPECT_TRUE(QFileInfo::exists(records));
    EXPECT_TRUE(QFileInfo::exists(blobs));
    q->Next();
    EXPECT_EQ(q->FieldByName(u"DATA").AsString(), "blob two");
    q->Close();
    EXPECT_FALSE(QFileInfo::exists(records));
    EXPECT_FALSE(QFileInfo::exists(blobs));
}

TEST_F(DatasetTest, TemporaryFilesGoneAfterAFailedOpen)
{
    FakeResult result = rows(5);
    result.failAtRow = 3;
    db.driver.results.insert("select broken", result);
    auto q = query("select broken", {eoCacheToDisk, eoCacheAll});
    const QStringList before = QDir::temp().entryList({QStringLiteral("SQL*")});
    EXPECT_THROW(q->Open(), Exception);
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(QDir::temp().entryList({QStringLiteral("SQL*")}), before);
}

TEST_F(DatasetTest, ConnectionLostMidFetchIsAnErrorAndKeepsTheRowsBefore)
{
    FakeResult result = rows(10);
    result.failAtRow = 4;
    db.driver.results.insert("select lost", result);
    auto q = query("select lost");
    q->Open();
    try {
        q->Last();
        FAIL() << "a lost connection must not look like the end of the rows";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), u"Connection to VIDAZevivu lost");
    }
    EXPECT_FALSE(q->AllFetched());
    EXPECT_EQ(q->RecordCount(), 4);
}

TEST_F(DatasetTest, BookmarksFindTheirRecord)
{
    auto q = query();
    q->Open();
    q->MoveBy(2);
    const TBookmark third = q->GetBookmark();
    q->MoveBy(40);
    const TBookmark later = q->GetBookmark();
    EXPECT_LT(q->CompareBookmarks(third, later), 0);
    EXPECT_EQ(q->CompareBookmarks(later, later), 0);
    q->GotoBookmark(third);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 3);
    EXPECT_TRUE(q->BookmarkValid(later));

    TBookmark missing(4, '\0');
    missing[0] = char(0x7f);
    missing[3] = char(0x7f);
    try {
        q->GotoBookmark(missing);
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"Bookmark not found.");
    }
    EXPECT_EQ(q->RecordCount(), 500); // searched after fetching everything
}

TEST_F(DatasetTest, SetRecNoFetchesAsFarAsNeeded)
{
    auto q = query();
    q->Open();
    q->SetRecNo(250);
    EXPECT_EQ(q->RecordCount(), 250);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 250);
    q->SetRecNo(2);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 2);
    q->SetRecNo(9999);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 500);
}

struct LocateCase {
    const char* name;
    QString fields;
    QVariant values;
    TLocateOptions options;
    int expectedId; // 0: not found
};

class LocateTest : public DatasetTest, public testing::WithParamInterface<LocateCase> {};

TEST_P(LocateTest, FindsTheFirstMatch)
{
    FakeResult result;
    result.columns = {{QStringLiteral("ID"), ftInteger}, {QStringLiteral("NAME"), ftString, 12}};
    result.rows = {{1, QByteArray("Andersson")}, {2, QByteArray("Smith")}, {3, QByteArray("smithson")},
                   {4, QVariant()},           {5, QByteArray("\xd6" "berg")}};
    db.driver.results.insert("select names", result);
    auto q = query("select names");
    q->Open();
    const bool found = q->Locate(GetParam().fields, GetParam().values, GetParam().options);
    EXPECT_EQ(found, GetParam().expectedId != 0);
    if (found)
        EXPECT_EQ(q->FieldByName(u"ID").AsInteger(), GetParam().expectedId);
    else
        EXPECT_EQ(q->FieldByName(u"ID").AsInteger(), 1) << "a failed search does not move";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LocateTest,
    testing::Values(LocateCase{"Exact", QStringLiteral("NAME"), QByteArray("Smith"), {}, 2},
                    LocateCase{"ExactIsCaseSensitive", QStringLiteral("NAME"), QByteArray("SMITH"), {}, 0},
                    LocateCase{"CaseInsensitive", QStringLiteral("NAME"), QByteArray("SMITH"), {loCaseInsensitive}, 2},
                    LocateCase{"PartialNeedsPrefix", QStringLiteral("NAME"), QByteArray("smi"), {loPartialKey}, 3},
                    LocateCase{"PartialCaseInsensitive", QStringLiteral("NAME"), QByteArray("SMITHS"),
                               {loPartialKey, loCaseInsensitive}, 3},
                    LocateCase{"HostLetters", QStringLiteral("NAME"), QStringLiteral("öBERG"), {loCaseInsensitive}, 5},
                    LocateCase{"Null", QStringLiteral("NAME"), QVariant(), {}, 4},
                    LocateCase{"Integer", QStringLiteral("ID"), 5, {}, 5},
                    LocateCase{"IntegerFromText", QStringLiteral("ID"), QByteArray("3"), {}, 3},
                    LocateCase{"TwoKeys", QStringLiteral("ID;NAME"), QVariantList{3, QByteArray("smithson")}, {}, 3},
                    LocateCase{"TwoKeysNoMatch", QStringLiteral("ID;NAME"), QVariantList{2, QByteArray("smithson")}, {},
                               0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DatasetTest, LookupAnswersValuesWithoutMoving)
{
    auto q = query();
    q->Open();
    EXPECT_EQ(q->Lookup(QStringLiteral("FID"), 320, QStringLiteral("FTEXT")).toByteArray(), "Row 320");
    const QVariantList both = q->Lookup(QStringLiteral("FID"), 7, QStringLiteral("FID;FTEXT")).toList();
    ASSERT_EQ(both.size(), 2);
    EXPECT_EQ(both.at(0).toInt(), 7);
    EXPECT_FALSE(q->Lookup(QStringLiteral("FID"), 9999, QStringLiteral("FTEXT")).isValid());
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 1);
}

TEST_F(DatasetTest, FieldWritingRules)
{
    FakeResult result = rows(3);
    result.columns[0].readOnly = true;
    db.driver.results.insert("select ro", result);
    auto q = query("select ro");
    q->SetQueryOptions({LocalEdit});
    q->Open();
    const auto message = [&](const std::function<void()>& action) {
        try {
            action();
        } catch (const EDatabaseError& error) {
            return error.message();
        }
        return QString();
    };
    EXPECT_EQ(message([&] { q->FieldByName(u"FTEXT").SetAsString("x"); }), u"Dataset not in edit mode.");
    q->Edit();
    EXPECT_EQ(message([&] { q->FieldByName(u"FID").SetAsInteger(9); }), u"Field 'FID' is read-only");
    q->FieldByName(u"FTEXT").SetAsString("changed");
    q->FieldByName(u"FNOTE").SetAsString("note");
    q->Post();
    EXPECT_EQ(q->FieldByName(u"FTEXT").AsString(), "changed");
    q->Next();
    q->Prior();
    EXPECT_EQ(q->FieldByName(u"FNOTE").AsString(), "note") << "posted into the cache";
}

TEST_F(DatasetTest, CalculatedFieldsAndTheirWritingRule)
{
    auto q = query();
    TField& id = q->AddField(QStringLiteral("FID"), ftInteger);
    TField& twice = q->AddField(QStringLiteral("TWICE"), ftInteger, 0, fkCalculated);
    QString calcError;
    q->OnCalcFields = [&](TDataSet&) {
        twice.SetAsInteger(id.AsInteger() * 2);
        try {
            id.SetAsInteger(0);
        } catch (const EDatabaseError& error) {
            calcError = error.message();
        }
    };
    q->Open();
    EXPECT_EQ(q->FieldCount(), 2) << "persistent fields only";
    q->MoveBy(6);
    EXPECT_EQ(twice.AsInteger(), 14);
    EXPECT_EQ(calcError, u"Dataset not in edit mode.");
    q->Close();
    EXPECT_EQ(q->FieldCount(), 2) << "persistent fields stay";
}

TEST_F(DatasetTest, FilterSkipsRejectedRecords)
{
    auto q = query();
    q->OnFilterRecord = [](TDataSet& ds, bool& accept) { accept = ds.FieldByName(u"FID").AsInteger() % 100 == 0; };
    q->SetFiltered(true);
    q->Open();
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 100);
    q->Next();
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 200);
    q->Last();
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 500);
}

TEST_F(DatasetTest, BlobStreams)
{
    FakeResult result;
    result.columns = {{QStringLiteral("ID"), ftInteger}, {QStringLiteral("DATA"), ftMemo}};
    result.rows = {{1, QByteArray("line one\r\nline two")}};
    db.driver.results.insert("select memo", result);
    auto q = query("select memo");
    q->SetQueryOptions({LocalEdit});
    q->Open();
    TField& data = q->FieldByName(u"DATA");
    EXPECT_EQ(data.CreateBlobStream(bmRead)->readAll(), "line one\r\nline two");
    EXPECT_THROW(data.CreateBlobStream(bmWrite), EDatabaseError);

    q->Edit();
    {
        auto stream = data.CreateBlobStream(bmReadWrite);
        stream->seek(stream->size());
        stream->write(" and three");
    }
    EXPECT_EQ(data.AsString(), "line one\r\nline two and three");
    EXPECT_TRUE(data.Modified());
    q->Cancel();
    EXPECT_EQ(data.AsString(), "line one\r\nline two") << "cancel keeps the cached value";

    q->Edit();
    data.CreateBlobStream(bmWrite)->close(); // truncated and empty: NULL
    EXPECT_TRUE(data.IsNull());
}

TEST_F(DatasetTest, StatementErrors)
{
    auto blank = query("  ");
    try {
        blank->Open();
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"No statement in query");
    }
    EXPECT_THROW(blank->ExecSQL(), EDatabaseError);
    EXPECT_THROW(blank->Prepare(), EDatabaseError);

    auto nowhere = query();
    nowhere->SetDataBaseName(QStringLiteral("NOWHERE"));
    try {
        nowhere->Open();
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"Database 'NOWHERE' not found");
    }
}

TEST_F(DatasetTest, FailingStatementLeavesTheDatasetClosedAndTheTextUnchanged)
{
    const QString serverText = QStringLiteral("no such table: NOPE\r\n");
    db.driver.failures.insert("select * from NOPE", serverText);
    auto q = query("select * from NOPE");
    try {
        q->Open();
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), serverText);
    }
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(db.driver.LiveConnections(), 1) << "the dataset keeps its one connection";
    q.reset();
    EXPECT_EQ(db.driver.pool.size(), 1) << "and gives it back when destroyed";
}

TEST_F(DatasetTest, ChangingSqlParsesParametersAndKeepsTheirValues)
{
    auto q = query("select * from T where FID=:FID");
    EXPECT_EQ(q->StatementText(), "select * from T where FID=?  ");
    q->Params().ParamByName(u"FID").SetValue(3);
    q->SetSQLText("select * from T where FID=:FID and FTEXT=:TXT\r\n");
    EXPECT_EQ(q->StatementText(), "select * from T where FID=? and FTEXT=?  ");
    EXPECT_EQ(q->Params().ParamByName(u"FID").Value.toInt(), 3);
    EXPECT_TRUE(q->Params().ParamByName(u"TXT").IsNull());

    db.driver.results.insert("select * from T where FID=3 and FTEXT='Row 3'", rows(1));
    q->Params().ParamByName(u"TXT").SetAsString("Row 3");
    q->Open();
    q->SetSQLText("select * from T where FID=:FID and FTEXT=:TXT\r\n");
    EXPECT_TRUE(q->Active()) << "the same text changes nothing";
    q->SetSQLText("select * from T");
    EXPECT_FALSE(q->Active());

    q->SetParamCheck(false);
    q->SetSQLText("select :x from T");
    EXPECT_EQ(q->StatementText(), "select :x from T\r\n");
}

TEST_F(DatasetTest, ExecSqlCountsRowsOnTheDatabaseConnection)
{
    auto q = query("delete from T where FID=:FID");
    q->Params().ParamByName(u"FID").SetValue(4);
    db.driver.rowsAffected = 3;
    q->ExecSQL();
    EXPECT_EQ(q->RowsAffected(), 3);
    EXPECT_EQ(db.driver.commands.last(), "delete from T where FID=4");
    db.driver.rowsAffected = -1;
    q->ExecSQL();
    EXPECT_EQ(q->RowsAffected(), 0);
}

TEST_F(DatasetTest, AboutIsFixed)
{
    TcsQuery q;
    q.SetAbout(QStringLiteral("1.0"));
    EXPECT_EQ(q.About(), u"6.3.7");
}

TEST_F(DatasetTest, MasterParametersAndRefreshOnScroll)
{
    auto master = query();
    for (int i = 1; i <= 3; ++i) {
        FakeResult detailRows = rows(i);
        db.driver.results.insert("select * from D where ID=" + QByteArray::number(i) + " and OLDID="
                                     + QByteArray::number(i),
                                 detailRows);
    }
    TDataSource source(master.get());
    auto detail = query("select * from D where ID=:FID and OLDID=:OLD_FID");
    detail->SetDataSource(&source);
    master->Open();
    detail->Open();
    EXPECT_EQ(detail->RecordCount(), 1);
    master->Next();
    detail->Last();
    EXPECT_EQ(detail->RecordCount(), 2) << "the detail ran again for the master's second record";
    master->Next();
    detail->Last();
    EXPECT_EQ(detail->RecordCount(), 3);

    TDataSource back(detail.get());
    try {
        master->SetDataSource(&back);
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"Recursive datalinks not allowed");
    }
}

TEST_F(DatasetTest, PreparedStatementRunsOnTheDatasetsConnection)
{
    auto q = query("select * from T where FID=:FID");
    q->Prepare();
    EXPECT_TRUE(q->Prepared());
    ASSERT_NE(q->Connection(), nullptr);
    EXPECT_EQ(static_cast<FakeConnection*>(q->Connection())->prepared, "select * from T where FID=?  ");
    q->SetSQLText("select * from T");
    EXPECT_FALSE(q->Prepared()) << "new text unprepares";
}

TEST_F(DatasetTest, ChangingTheDatabaseGivesTheConnectionBack)
{
    FakeDatabase other(QStringLiteral("OTHERDB"));
    other.driver.results.insert("select * from T", rows(2));
    auto q = query();
    q->Open();
    EXPECT_EQ(db.driver.pool.size(), 0);
    q->SetDataBaseName(QStringLiteral("OTHERDB"));
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(db.driver.pool.size(), 1);
    q->Open();
    EXPECT_EQ(q->LinkedDatabase(), &other);
    EXPECT_EQ(q->RecordCount(), 1);
}

TEST_F(DatasetTest, DestroyedDatabaseClosesItsDatasets)
{
    auto other = std::make_unique<FakeDatabase>(QStringLiteral("OTHERDB"));
    other->driver.results.insert("select * from T", rows(2));
    auto q = query();
    q->SetDataBaseName(QStringLiteral("OTHERDB"));
    q->Open();
    other.reset();
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->LinkedDatabase(), nullptr);
    EXPECT_EQ(q->Connection(), nullptr);
}

TEST_F(DatasetTest, HourglassAroundLongWork)
{
    RecordingScreenCursor cursor;
    ScreenCursor::install(&cursor);
    struct Uninstall {
        ~Uninstall() { ScreenCursor::install(nullptr); }
    } uninstall;

    auto q = query("select * from T", {eoCacheAll});
    q->Open();
    EXPECT_EQ(cursor.history().first(), ScreenCursor::SqlWait);
    EXPECT_EQ(cursor.current(), ScreenCursor::Default);

    cursor.clearHistory();
    db.driver.failures.insert("select * from NOPE", QStringLiteral("fails"));
    auto failing = query("select * from NOPE");
    EXPECT_THROW(failing->Open(), Exception);
    EXPECT_EQ(cursor.current(), ScreenCursor::Default) << "restored after an error";

    cursor.set(ScreenCursor::Wait);
    cursor.clearHistory();
    q->Close();
    q->Open();
    EXPECT_TRUE(cursor.history().isEmpty()) << "another cursor is left alone";

    db.SetShowHourglass(false);
    cursor.set(ScreenCursor::Default);
    cursor.clearHistory();
    q->Close();
    q->Open();
    EXPECT_EQ(cursor.history().size(), 0);
}

} // namespace
} // namespace lystra::test
