#include "fakedriver.h"

#include "db/edatabaseerror.h"
#include "db/tcsdataset.h"
#include "db/tsqlupdate.h"

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

TEST(SqlUpdate, QuotesTableNames)
{
    const struct {
        QString table;
        QByteArray quoted;
    } cases[] = {
        {QStringLiteral("CATALOG"), "\"CATALOG\""},
        {QStringLiteral("LYSTRA.CATALOG"), "\"LYSTRA\".\"CATALOG\""},
        {QStringLiteral("A.B.C"), "\"A\".\"B.C\""},
        {QStringLiteral("\"My lib\".T"), "\"My lib\".T"},
        {QStringLiteral("a\"b"), "\"a\"\"b\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sqlupdate::quoteTableName(c.table), c.quoted) << c.table.toStdString();
}

// CATALOG-like rows: FID key, FSTAT and FTXT written, FDATA a blob.
FakeResult catalog()
{
    FakeResult result;
    result.columns = {{QStringLiteral("FID"), ftInteger},
                      {QStringLiteral("FSTAT"), ftString, 1},
                      {QStringLiteral("FTXT"), ftString, 20},
                      {QStringLiteral("FDATA"), ftBlob}};
    result.rows = {{1, QByteArray("N"), QVariant(), QByteArray("x")},
                   {2, QByteArray("N"), QByteArray("second"), QVariant()},
                   {3, QByteArray("V"), QByteArray("third"), QVariant()}};
    return result;
}

class UpdateTest : public testing::Test {
protected:
    UpdateTest() { db.driver.results.insert("select * from CATALOG", catalog()); }

    std::unique_ptr<TcsQuery> query(TUpdateMode mode = upWhereChanged, TcsQueryOptions options = {})
    {
        auto q = std::make_unique<TcsQuery>();
        q->SetDataBaseName(QStringLiteral("TESTDB"));
        q->SetSQLText("select * from CATALOG");
        q->SetQueryOptions(options);
        TUpdateParams params;
        params.TableName = QStringLiteral("CATALOG");
        params.KeyFields = {QStringLiteral("FID")};
        params.UpdateFields = {QStringLiteral("FSTAT"), QStringLiteral("FTXT"), QStringLiteral("FDATA"),
                               QStringLiteral("FMISSING")};
        params.UpdateMode = mode;
        q->SetUpdateParams(params);
        q->Open();
        db.driver.commands.clear();
        return q;
    }

    FakeDatabase db{QStringLiteral("TESTDB")};
};

struct ModifyCase {
    const char* name;
    TUpdateMode mode;
    int record;                 // 1-based record to edit
    bool changeText;            // also set FTXT
    QByteArray expected;
};

class ModifyTest : public UpdateTest, public testing::WithParamInterface<ModifyCase> {};

TEST_P(ModifyTest, BuildsTheWhereClauseOfTheMode)
{
    auto q = query(GetParam().mode);
    q->SetRecNo(GetParam().record);
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("V");
    if (GetParam().changeText)
        q->FieldByName(u"FTXT").SetAsString("new");
    q->Post();
    ASSERT_EQ(db.driver.commands.size(), 1);
    EXPECT_EQ(db.driver.commands.first(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModifyTest,
    testing::Values(
        ModifyCase{"KeyOnly", upWhereKeyOnly, 2, false, R"(update "CATALOG" set "FSTAT"='V' where  "FID"=2)"},
        ModifyCase{"Changed", upWhereChanged, 2, false,
                   R"(update "CATALOG" set "FSTAT"='V' where  "FID"=2 and "FSTAT"='N')"},
        ModifyCase{"ChangedFromNull", upWhereChanged, 1, true,
                   R"(update "CATALOG" set "FSTAT"='V' , "FTXT"='new' where  "FID"=1 and "FSTAT"='N' and "FTXT" is null)"},
        ModifyCase{"AllSkipsBlobs", upWhereAll, 2, false,
                   R"(update "CATALOG" set "FSTAT"='V' where  "FID"=2 and "FSTAT"='N' and "FTXT"='second')"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(UpdateTest, ModifyWithoutChangesSendsNothing)
{
    auto q = query();
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("N"); // assigned, but the same
    q->FieldByName(u"FTXT").Clear();           // NULL before and after
    q->Post();
    EXPECT_TRUE(db.driver.commands.isEmpty());
}

TEST_F(UpdateTest, InsertListsUpdateFieldsAndCanSuppressNulls)
{
    for (const bool suppress : {false, true}) {
        auto q = query(upWhereChanged, suppress ? TcsQueryOptions{SuppressNullsOnInsert} : TcsQueryOptions{});
        TUpdateParams params = *q->UpdateParams();
        params.UpdateFields = {QStringLiteral("FID"), QStringLiteral("FSTAT"), QStringLiteral("FTXT")};
        q->SetUpdateParams(params);
        q->Append();
        q->FieldByName(u"FID").SetAsInteger(9);
        q->FieldByName(u"FSTAT").SetAsString("N");
        q->Post();
        ASSERT_EQ(db.driver.commands.size(), 1);
        EXPECT_EQ(db.driver.commands.first(),
                  suppress ? R"(insert into "CATALOG" ("FID" , "FSTAT") Values(9 , 'N'))"
                           : R"(insert into "CATALOG" ("FID" , "FSTAT" , "FTXT") Values(9 , 'N' , null))");
        EXPECT_EQ(q->RecordCount(), 4);
    }
}

TEST_F(UpdateTest, DeleteSendsTheKeyAndDropsTheRecord)
{
    auto q = query();
    q->Last();
    q->Delete();
    EXPECT_EQ(db.driver.commands, QByteArrayList{R"(delete from "CATALOG" where  "FID"=3)"});
    EXPECT_EQ(q->RecordCount(), 2);
    EXPECT_EQ(q->FieldByName(u"FID").AsInteger(), 2) << "moved back from past the end";
}

TEST_F(UpdateTest, NoAffectedRowFailsUnlessTheHandlerAborts)
{
    auto q = query();
    db.driver.rowsAffected = 0;
    int calls = 0;
    TUpdateAction answer = uaFail;
    QString seen;
    q->OnUpdateError = [&](TDataSet&, EDatabaseError& error, TUpdateKind kind, TUpdateAction& action) {
        ++calls;
        seen = error.message();
        EXPECT_EQ(kind, ukModify);
        action = answer;
    };
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("V");
    try {
        q->Post();
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"Update failed. No rows where affected by transaction.");
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, u"Update failed. No rows where affected by transaction.");
    EXPECT_EQ(q->State(), dsEdit) << "the record stays in edit with its values";
    EXPECT_EQ(q->FieldByName(u"FSTAT").AsString(), "V");

    answer = uaAbort;
    EXPECT_THROW(q->Post(), EAbort);
    EXPECT_EQ(calls, 2);
    q->Cancel();
    EXPECT_EQ(q->FieldByName(u"FSTAT").AsString(), "N") << "the cache is unchanged";
}

TEST_F(UpdateTest, ServerErrorReachesHandlerAndCallerUnchanged)
{
    auto q = query();
    db.driver.failures.insert(R"(update "CATALOG" set "FSTAT"='V' where  "FID"=1 and "FSTAT"='N')",
                              QStringLiteral("SQL0803 duplicate key\r\n"));
    QString seen;
    q->OnUpdateError = [&](TDataSet&, EDatabaseError& error, TUpdateKind, TUpdateAction&) { seen = error.message(); };
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("V");
    try {
        q->Post();
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), u"SQL0803 duplicate key\r\n");
    }
    EXPECT_EQ(seen, u"SQL0803 duplicate key\r\n");
}

TEST_F(UpdateTest, OnUpdateRecordDecides)
{
    auto q = query();
    TUpdateAction answer = uaFail;
    q->OnUpdateRecord = [&](TDataSet&, TUpdateKind, TUpdateAction& action) { action = answer; };

    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("V");
    EXPECT_THROW(q->Post(), EAbort);
    EXPECT_TRUE(db.driver.commands.isEmpty());

    answer = uaApplied;
    q->Post();
    EXPECT_EQ(db.driver.commands.size(), 1) << "on post the generated statement runs as well";

    db.driver.commands.clear();
    q->Delete();
    EXPECT_TRUE(db.driver.commands.isEmpty()) << "on delete the handler replaces it";
    EXPECT_EQ(q->RecordCount(), 2);
}

TEST_F(UpdateTest, LocalEditChangesOnlyTheCache)
{
    auto q = query(upWhereChanged, {LocalEdit});
    q->SetRecNo(2);
    q->Insert();
    q->FieldByName(u"FID").SetAsInteger(7);
    q->Post();
    q->Edit();
    q->FieldByName(u"FTXT").SetAsString("edited");
    q->Post();
    EXPECT_TRUE(db.driver.commands.isEmpty());
    QList<int> ids;
    for (q->First(); !q->Eof(); q->Next())
        ids << q->FieldByName(u"FID").AsInteger();
    EXPECT_EQ(ids, (QList<int>{1, 7, 2, 3})) << "inserted before the current record";
    q->SetRecNo(2);
    EXPECT_EQ(q->FieldByName(u"FTXT").AsString(), "edited");
}

TEST_F(UpdateTest, PostTrimsStringsAndConvertsBlanks)
{
    auto q = query(upWhereChanged, {LocalEdit, ConvertBlankToNull});
    q->Edit();
    q->FieldByName(u"FTXT").SetAsString("padded  \t");
    q->Post();
    EXPECT_EQ(q->FieldByName(u"FTXT").AsString(), "padded");
    q->Edit();
    q->FieldByName(u"FTXT").SetAsString("   ");
    q->Post();
    EXPECT_TRUE(q->FieldByName(u"FTXT").IsNull());
}

TEST_F(UpdateTest, OnPostChangesReachTheCache)
{
    auto q = query(upWhereChanged, {LocalEdit});
    q->OnPost = [](TDataSet& ds) { ds.FieldByName(u"FTXT").SetAsString("by handler"); };
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("X");
    q->Post();
    q->Next();
    q->Prior();
    EXPECT_EQ(q->FieldByName(u"FTXT").AsString(), "by handler");
}

TEST_F(UpdateTest, ReadOnlyDatasetCannotBeEdited)
{
    auto q = std::make_unique<TcsQuery>();
    q->SetDataBaseName(QStringLiteral("TESTDB"));
    q->SetSQLText("select * from CATALOG");
    q->Open();
    try {
        q->Edit();
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.message(), u"Cannot modify a read-only dataset");
    }
}

TEST_F(UpdateTest, UpdateObjectRunsItsStatements)
{
    auto q = query();
    TSQLUpdate update;
    update.SetModifySQL({"update CATALOG set FSTAT=:FSTAT", "where FID=:OLD_FID and FTXT=:FTXT"});
    q->SetUpdateObject(&update);
    EXPECT_EQ(q->UpdateParams(), nullptr) << "an update object drops the update parameters";
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("V");
    q->Post();
    EXPECT_EQ(db.driver.commands, QByteArrayList{"update CATALOG set FSTAT='V' where FID=1 and FTXT=null"});

    db.driver.rowsAffected = 0;
    q->Edit();
    q->FieldByName(u"FSTAT").SetAsString("W");
    EXPECT_THROW(q->Post(), EDatabaseError);
    q->Cancel();

    TcsQuery second;
    second.SetUpdateObject(&update);
    EXPECT_EQ(q->UpdateObject(), nullptr) << "one query at a time";
    EXPECT_EQ(update.Query(), &second);
}

} // namespace
} // namespace lystra::test
