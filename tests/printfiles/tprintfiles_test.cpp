// The print queue against the real gateway server and its demo data: what
// the queue asks the server (seen through the database's SQL trace) and what
// it makes of the answers.

#include "errormessage.h"
#include "vidazevivuprocess.h"

#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tcssocketdriver.h"
#include "db/tdatabasemanager.h"
#include "platform/exception.h"
#include "platform/hostcodec.h"
#include "printfiles/tprintfiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Host text in failure messages as text, not as a list of bytes.
inline void PrintTo(const QByteArray& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace lystra::test {
namespace {

const char* const kConfig = "[CustomData]\nDB=ARKIV\nOTHER=1\n";

using lystra::testsupport::messageOf;

// A connected host database with its statements recorded, and a queue on it.
class Host {
public:
    explicit Host(const VidazevivuProcess& server)
    {
        db.SetName(QStringLiteral("QUEUE_DB"));
        db.SetLoginPrompt(false);
        db.SetRemoteGateway(server.host());
        db.SetRemoteDatasource(QString::fromLatin1(TPrintFiles::kHostDatabaseName));
        db.Params().SetValues(u"UID", QStringLiteral("TESTER"));
        db.Params().SetValues(u"PWD", QStringLiteral("secret"));
        db.SocketDriver().SetPort(server.port());
        db.OnTraceSQL = [this](const QByteArray& text) {
            const qsizetype bar = text.indexOf("|\t");
            statements << (bar < 0 ? text : text.sliced(bar + 2)).trimmed();
        };
        queue = std::make_unique<TPrintFiles>(db, TPrintFiles::ArchiveLibraryOf(db));
        queue->OnChange = [this](TPrintFiles&) { ++notifications; };
    }

    // Runs a statement of the test's own (not on the queue's query).
    void exec(const QByteArray& sql)
    {
        TcsQuery q;
        q.SetParamCheck(false);
        q.SetDataBaseName(db.DataBaseName());
        q.SetSQLText(sql);
        q.ExecSQL();
    }
    QByteArray scalar(const QByteArray& sql)
    {
        TcsQuery q;
        q.SetParamCheck(false);
        q.SetDataBaseName(db.DataBaseName());
        q.SetSQLText(sql);
        q.Open();
        return q.Fields(0).AsString();
    }

    QByteArrayList ids()
    {
        QByteArrayList result;
        for (int i = 0; i < queue->Count(); ++i)
            result << queue->Item(i)->Id();
        return result;
    }

    TcsDatabase db;
    QByteArrayList statements;
    int notifications = 0;
    std::unique_ptr<TPrintFiles> queue;
};

VidazevivuProcess::Options demoOptions()
{
    VidazevivuProcess::Options options;
    options.initDemo = true;
    options.configText = kConfig;
    return options;
}

// Tests that only read share one server.
class PrintQueue : public testing::Test {
protected:
    static void SetUpTestSuite() { s_server = new VidazevivuProcess(demoOptions()); }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override { host = std::make_unique<Host>(*s_server); }

    std::unique_ptr<Host> host;
    static inline VidazevivuProcess* s_server = nullptr;
};

// Tests that change the tables get a server of their own.
class PrintQueueChanges : public testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<VidazevivuProcess>(demoOptions());
        host = std::make_unique<Host>(*server);
    }
    std::unique_ptr<VidazevivuProcess> server;
    std::unique_ptr<Host> host;
};

TEST_F(PrintQueue, LoadsTheUsersFilesNewestFirstWithTheirHeaders)
{
    TPrintFiles& queue = *host->queue;
    EXPECT_EQ(queue.Count(), 0) << "no user: not ready, nothing asked";
    EXPECT_TRUE(host->statements.isEmpty());

    queue.SetUser("anna");
    EXPECT_EQ(queue.User(), "ANNA");
    ASSERT_EQ(queue.Count(), 3);
    EXPECT_EQ(host->statements,
              QByteArrayList{"select * from CATALOG where UPPER(\"USER\")='ANNA' order by FDATE desc, FTIME desc"});
    EXPECT_EQ(host->ids(), (QByteArrayList{"0000200003", "0000200002", "0000200001"}));

    const TPrintFile& big = *queue.Item(0);
    EXPECT_EQ(big.Owner(), &queue);
    EXPECT_EQ(big.Created(), QDateTime(QDate(2025, 11, 28), QTime(5, 45), Qt::UTC));
    EXPECT_EQ(big.PageCount(), 2000);
    EXPECT_EQ(big.PageLength(), 55);
    EXPECT_FALSE(big.IsPortrait());
    EXPECT_EQ(big.PageWidth(), 132);
    EXPECT_DOUBLE_EQ(big.Cpi(), 15);
    EXPECT_DOUBLE_EQ(big.Lpi(), 8);
    EXPECT_EQ(big.Title(), HostCodec::host().encode(u"Huvudbok helår 2025 (2000 sidor)"));
    EXPECT_EQ(big.FileName(), "HUVUDBOK");
    EXPECT_EQ(big.JobName(), "EKONOMI");
    EXPECT_EQ(big.User(), "ANNA");
    EXPECT_EQ(big.Status(), "") << "a blank status is trimmed";
    EXPECT_TRUE(queue.Item(2)->IsViewed());

    EXPECT_EQ(queue.IndexOfId("0000200002"), 1);
    EXPECT_EQ(queue.IndexOfId("0000200002 "), -1) << "identities compare exactly";
    EXPECT_EQ(queue.Item(3), nullptr);
    EXPECT_EQ(host->statements.size(), 1) << "listing reads no page";
}

TEST_F(PrintQueue, MadeThroughTheDatabaseManager)
{
    QTemporaryDir folder;
    QFile settings(folder.filePath(QStringLiteral("lystra.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Lystra]\nVIDAZevivu=" + s_server->host().toLatin1() + "\nPort=" +
                   QByteArray::number(s_server->port()) + "\n[iSeries]\nDatabase=QS36F\n");
    settings.close();
    TDatabaseManager::Reset();
    TDatabaseManager::SetProgramFile(folder.filePath(QStringLiteral("lystra")));
    {
        auto queue = TPrintFiles::Create(TDatabaseManager::Manager());
        EXPECT_EQ(queue->ArchiveLibrary(), "ARKIV");
        EXPECT_EQ(TDatabaseManager::Manager().DatabaseNameOf(dkHost), u"LYSTRA")
            << "the queue's database takes precedence over the settings";
        EXPECT_TRUE(queue->Database().Connected());
        queue->SetUser("maja");
        EXPECT_EQ(queue->Count(), 1);
    }
    TDatabaseManager::Reset();
    TDatabaseManager::SetProgramFile(QString());
    EXPECT_FALSE(TDatabaseManager::TerminationRequested());
    EXPECT_EQ(TPrintFiles::ArchiveLibraryIn({"OTHER=1", " DB = LIB ", "DB=LATER"}), "LIB");
    EXPECT_EQ(TPrintFiles::ArchiveLibraryIn({"DBX=1"}), "");
}

TEST_F(PrintQueue, NotifiesOnlyWhenTheCountChangedOrAReloadIsForced)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ERIK");
    queue.Refresh();
    EXPECT_EQ(host->notifications, 1) << "the first load notifies once";
    const TPrintFile* first = queue.Item(0);

    queue.Refresh();
    EXPECT_EQ(host->notifications, 2) << "Changed stays set until the owner clears it";
    queue.SetChanged(false);
    first = queue.Item(0);
    queue.Refresh();
    queue.Refresh();
    EXPECT_EQ(host->notifications, 2) << "same count: no notification";
    EXPECT_EQ(queue.Item(0), first) << "same count: the old objects stay";

    queue.SetUser("Erik");
    EXPECT_FALSE(queue.Changed()) << "the same user in another case is no change";
    queue.SetNotify(false);
    queue.SetUser("MAJA");
    EXPECT_TRUE(queue.Changed());
    queue.Refresh();
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_EQ(host->notifications, 2) << "notification switched off";
    queue.SetNotify(true);
    EXPECT_EQ(host->notifications, 3) << "switching on notifies at once";
}

TEST_F(PrintQueue, UserWithoutFilesIsNotifiedOnceWithAnEmptyList)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("NOBODY");
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(queue.Loaded());
    EXPECT_EQ(host->notifications, 1);
    queue.SetChanged(false);
    queue.Refresh();
    queue.Refresh();
    EXPECT_EQ(host->notifications, 1);
}

TEST_F(PrintQueue, DateFilterAndIdentityRange)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    queue.SetDateFilter(TPrintFiles::DateFilterUpTo(QDate(2025, 11, 14)));
    EXPECT_EQ(queue.DateFilter(), "FDATE<=20251114");
    EXPECT_EQ(queue.SelectText(), "select * from CATALOG where UPPER(\"USER\")='ANNA' and FDATE<=20251114 "
                                  "order by FDATE desc, FTIME desc");
    EXPECT_EQ(host->ids(), (QByteArrayList{"0000200002", "0000200001"}));

    QByteArrayList users;
    EXPECT_EQ(queue.ListUsersText(true), "select distinct \"USER\", count(*) \"COUNT\" from CATALOG "
                                         "where FDATE<=20251114 group by \"USER\" order by \"USER\"");
    EXPECT_EQ(queue.ListUsers(users, true), 2);
    EXPECT_EQ(users, (QByteArrayList{"002 - ANNA", "001 - ERIK"}));

    // The identity range ignores both the user and the date.
    TPrintFiles range(host->db);
    range.SetUser("ANNA");
    range.SetDateFilter("FDATE<=20251114");
    range.SetIdPrefix(" 000030 ");
    EXPECT_EQ(range.SelectText(), "select * from CATALOG where (FID between '0000300000' and '0000309999') "
                                  "order by FDATE desc, FTIME desc");
    ASSERT_EQ(range.Count(), 3);
    EXPECT_EQ(range.Item(0)->Id(), "0000300003");
    EXPECT_EQ(range.Item(0)->User(), "ERIK");
}

TEST_F(PrintQueue, ListsUsersByCountOrByName)
{
    TPrintFiles& queue = *host->queue;
    QByteArrayList users;
    EXPECT_EQ(queue.ListUsers(users, true), 4);
    EXPECT_EQ(users, (QByteArrayList{"003 - ANNA", "003 - ERIK", "001 - MAJA", "002 - QSECOFR"}));
    EXPECT_EQ(host->statements.last(),
              "select distinct \"USER\", count(*) \"COUNT\" from CATALOG group by \"USER\" order by \"USER\"");

    users = {"left over"};
    EXPECT_EQ(queue.ListUsers(users, false), 4);
    EXPECT_EQ(host->statements.last(),
              "select distinct \"USER\", count(*) \"COUNT\" from CATALOG group by \"USER\" order by \"COUNT\" desc");
    ASSERT_EQ(users.size(), 4);
    EXPECT_EQ(users.mid(2), (QByteArrayList{"002 - QSECOFR", "001 - MAJA"}));
    EXPECT_TRUE(users[0].startsWith("003 - ")) << users[0].constData();
}

TEST_F(PrintQueue, ReadsAPageOnFirstUseThroughTheQuery)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    TPrintFile& ledger = *queue.Item(0);
    host->statements.clear();
    TPrintPage& page = ledger.Page(0);
    EXPECT_EQ(host->statements, QByteArrayList{"select FPAGE,FLINE,FCTL,FROW from ANNA where FID='0000200003' "
                                               "and FPAGE=1 order by FLINE"});
    EXPECT_EQ(&ledger.Page(0), &page);
    EXPECT_EQ(host->statements.size(), 1) << "a page is read once";

    const int stored = host->scalar("select count(*) from ANNA where FID='0000200003' and FPAGE=1").toInt();
    ASSERT_EQ(page.RowCount(), stored);
    // Heading: blank, overprint (bold title), blank, skip two lines, ruler.
    const QList<std::pair<char, int>> expected = {{' ', 1}, {'+', 1}, {' ', 2}, {'-', 5}, {' ', 6}};
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(page.Row(i).Control, expected[i].first) << "row " << i;
        EXPECT_EQ(page.Row(i).Line, expected[i].second) << "row " << i;
        EXPECT_EQ(page.Row(i).PageNo, 1);
        EXPECT_EQ(page.Row(i).RowNo, i + 1);
    }

    // This report prints its title as the last line of every page.
    queue.SetUser("ERIK");
    queue.Refresh();
    ASSERT_GE(queue.IndexOfId("0000300003"), 0);
    TPrintFile& receivables = *queue.Item(queue.IndexOfId("0000300003"));
    const int withTitle = host->scalar("select count(*) from ERIK where FID='0000300003' and FPAGE=1").toInt();
    EXPECT_EQ(receivables.Page(0).RowCount(), withTitle - 1);
}

// Runs a poppler tool; its standard output as UTF-8.
QString poppler(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << ": " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST_F(PrintQueue, SavesDemoReportsReadFromTheServer)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ERIK");
    ASSERT_EQ(queue.Count(), 3);
    QTemporaryDir folder;

    // The spool file holds exactly the stored rows, each as control code, text, CR LF.
    TPrintFile& sent = *queue.Item(queue.IndexOfId("0000300001"));
    QByteArray stored;
    TPrintFiles rows(host->db);
    rows.Select("select FCTL, FROW from ERIK where FID='0000300001' order by FPAGE, FLINE",
                [&stored](const TRowValues& row) {
                    const QByteArray control = row.Value("FCTL");
                    stored += (control.isEmpty() ? QByteArray(" ") : control.first(1)) + row.Value("FROW") + "\r\n";
                });
    const QString spool = folder.filePath(QStringLiteral("a.spl"));
    sent.SaveToFile(spool, sfSpool);
    QFile file(spool);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), stored);
    EXPECT_TRUE(stored.contains(HostCodec::host().encode(u"Östgöta")) || stored.contains(HostCodec::host().encode(u"Kärnan")) ||
                stored.contains(HostCodec::host().encode(u"Älvstrands")))
        << "the rows reach the file as host code page bytes";

    // An invoice of 66 lines is portrait; a ledger of 55 lines landscape.
    const QString invoice = folder.filePath(QStringLiteral("faktura.pdf"));
    sent.SaveToFile(invoice, sfPdf);
    const QString info = poppler(QStringLiteral("pdfinfo"), {invoice});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("\\nPages: +%1\\n").arg(sent.PageCount()))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(u"595 x 842 pts (A4)")) << info.toStdString();
    const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), invoice, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(u"Östgöta Frakt AB") || text.contains(u"Café Kärnan HB") ||
                text.contains(u"Älvstrands Bygg AB"))
        << text.left(2000).toStdString();

    queue.SetUser("ANNA");
    queue.Refresh();
    ASSERT_GE(queue.IndexOfId("0000200001"), 0);
    TPrintFile& ledger = *queue.Item(queue.IndexOfId("0000200001"));
    const QString ledgerPdf = folder.filePath(QStringLiteral("huvudbok.pdf"));
    ledger.SaveToFile(ledgerPdf, sfPdf);
    EXPECT_TRUE(poppler(QStringLiteral("pdfinfo"), {ledgerPdf}).contains(u"842 x 595 pts (A4)"));
}

TEST_F(PrintQueue, OutsideTextCannotChangeAStatement)
{
    TPrintFiles& queue = *host->queue;
    queue.RetryWait = [](int) {};
    const struct {
        const char* name;
        QByteArray user;
    } badUsers[] = {
        {"quote", "ANNA' OR '1'='1"},
        {"comment", "ANNA--"},
        {"blank", "ANNA ERIK"},
        {"statement", "ANNA;DROP"},
        {"digit first", "1ANNA"},
    };
    for (const auto& bad : badUsers) {
        SCOPED_TRACE(bad.name);
        queue.SetUser(bad.user);
        host->statements.clear();
        const QString message = messageOf([&] { queue.Refresh(); });
        EXPECT_TRUE(message.startsWith(u"Användarprofilen \"")) << message.toStdString();
        EXPECT_TRUE(message.endsWith(u"\" kan inte vara ett tabellnamn")) << message.toStdString();
        EXPECT_TRUE(host->statements.isEmpty()) << "refused before any SQL";
        EXPECT_TRUE(messageOf([&] { (void)queue.SpoolTable(); }).startsWith(u"Användarprofilen"));
    }

    const char* badFilters[] = {"FDATE<=20251114 or 1=1", "FDATE<=2025111", "FDATE<=2025-11-14",
                                "FDATE>=20251114", "1=1"};
    for (const char* filter : badFilters) {
        SCOPED_TRACE(filter);
        EXPECT_TRUE(messageOf([&] { queue.SetDateFilter(filter); }).startsWith(u"Ogiltigt datumvillkor"));
        EXPECT_EQ(queue.DateFilter(), "");
    }
    EXPECT_EQ(TPrintFiles::DateFilterUpTo(QDate()), "");

    // An identity prefix is quoted as a whole: the condition stays one range.
    TPrintFiles range(host->db);
    range.SetUser("ANNA");
    range.SetIdPrefix("0' or '1'='1");
    EXPECT_EQ(range.SelectText(), "select * from CATALOG where (FID between '0'' or ''1''=''10000' and "
                                  "'0'' or ''1''=''19999') order by FDATE desc, FTIME desc");
    EXPECT_EQ(range.Count(), 0);
}

TEST_F(PrintQueue, RefreshRetriesOnceAndStaysSilentWhileHidden)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    queue.Refresh();
    ASSERT_EQ(queue.Count(), 3);
    host->notifications = 0;

    // Archive tables that do not exist on the server: every read fails.
    queue.SetArchiveMode(true);
    queue.SetArchiveYear("2025");
    EXPECT_EQ(queue.CatalogTable(), "ARKIV25.ARKCAT");
    EXPECT_EQ(queue.SpoolTable(), "ARKIV25.ARKSPF");
    queue.SetChanged(true);
    int waits = 0;
    queue.RetryWait = [&](int delay) {
        ++waits;
        EXPECT_EQ(delay, 1000);
    };
    bool visible = true;
    queue.IsMainWindowVisible = [&] { return visible; };

    host->statements.clear();
    EXPECT_NE(messageOf([&] { queue.Refresh(); }), u"(no error)") << "visible: the error is shown";
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(host->statements.size(), 2) << "one retry";

    visible = false;
    EXPECT_EQ(messageOf([&] { queue.Refresh(); }), u"(no error)") << "hidden: silent";
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(queue.Count(), 3) << "the list keeps what it had";
    EXPECT_EQ(host->notifications, 0);

    // The second read succeeds when the cause went away in between.
    queue.RetryWait = [&](int) { queue.SetArchiveMode(false); };
    visible = true;
    EXPECT_EQ(messageOf([&] { queue.Refresh(); }), u"(no error)");
    EXPECT_EQ(host->notifications, 1) << "Changed was set";

    queue.SetArchiveMode(true);
    queue.SetArchiveYear("25");
    EXPECT_EQ(messageOf([&] { (void)queue.CatalogTable(); }),
              u"Archive year missing!\r\nParameter SplDate needed. [YYYY] or [YYYYMMDD]");
    queue.SetArchiveYear("20x5");
    EXPECT_TRUE(messageOf([&] { (void)queue.SpoolTable(); }).startsWith(u"Ogiltigt arkivår"));
}

TEST_F(PrintQueue, ArchiveModeKeysRowsByIdentityAndDate)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    TPrintFile& file = *queue.Item(1);
    EXPECT_EQ(queue.ArchiveLibrary(), "ARKIV") << "read from the server's custom data";
    queue.SetArchiveMode(true);
    queue.SetArchiveYear("20251114");
    EXPECT_EQ(TPrintPage::SelectText(file, 7),
              "select FPAGE,FLINE,FCTL,FROW from ARKIV25.ARKSPF where FID='0000200002' and FDATE=20251114 "
              "and FPAGE=7 order by FLINE");
    EXPECT_EQ(queue.DeleteTexts(file),
              (QByteArrayList{"delete from ARKIV25.ARKSPF where FID='0000200002' and FDATE=20251114 with NC",
                              "delete from ARKIV25.ARKCAT where FID='0000200002' and FDATE=20251114 with NC"}));

    TPrintFiles noLibrary(host->db);
    noLibrary.SetArchiveMode(true);
    noLibrary.SetArchiveYear("2025");
    EXPECT_TRUE(messageOf([&] { (void)noLibrary.CatalogTable(); }).startsWith(u"Arkivbiblioteket"));
}

TEST_F(PrintQueueChanges, StatusIsWrittenOnlyWhenItChanges)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    TPrintFile& fresh = *queue.Item(0);
    TPrintFile& viewed = *queue.Item(2);

    host->statements.clear();
    viewed.SetViewed(true);
    EXPECT_TRUE(host->statements.isEmpty()) << "already viewed: no update";

    fresh.SetViewed(true);
    EXPECT_EQ(host->statements,
              QByteArrayList{"update CATALOG set FSTAT='V' where FID='0000200003' with NC"});
    EXPECT_TRUE(fresh.IsViewed());
    EXPECT_EQ(host->scalar("select FSTAT from CATALOG where FID='0000200003'"), "V");

    // A refresh with the same count keeps the objects; a forced one reads anew.
    queue.SetChanged(false);
    queue.Refresh();
    EXPECT_EQ(queue.Item(0), &fresh);
    queue.SetChanged(true);
    queue.Refresh();
    EXPECT_TRUE(queue.Item(0)->IsViewed());
}

TEST_F(PrintQueueChanges, SameCountWithOtherFilesKeepsTheOldList)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("MAJA");
    queue.Refresh();
    queue.SetChanged(false);
    ASSERT_EQ(host->ids(), QByteArrayList{"0000400001"});
    host->exec("update CATALOG set FID='0000400099' where FID='0000400001'");
    queue.Refresh();
    EXPECT_EQ(host->ids(), QByteArrayList{"0000400001"}) << "compared by count only";
    EXPECT_EQ(host->notifications, 1);
}

TEST_F(PrintQueueChanges, DeleteRunsTwoStatementsAndNotifies)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ERIK");
    ASSERT_EQ(queue.Count(), 3);
    queue.SetChanged(false);
    host->notifications = 0;
    TPrintFile* file = queue.Item(1);
    const QByteArray id = file->Id();

    host->statements.clear();
    queue.Delete(file);
    EXPECT_EQ(host->statements,
              (QByteArrayList{"delete from ERIK where FID='" + id + "' with NC",
                              "delete from CATALOG where \"USER\"='ERIK' and FID='" + id + "' with NC"}));
    EXPECT_EQ(host->notifications, 1);
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.IndexOfId(id), -1);
    EXPECT_EQ(host->scalar("select count(*) from ERIK where FID='" + id + "'"), "0");
    EXPECT_EQ(host->scalar("select count(*) from CATALOG where FID='" + id + "'"), "0");
    EXPECT_NE(host->scalar("select count(*) from ERIK"), "0") << "the other files' rows stay";

    queue.Delete(nullptr);
    EXPECT_EQ(host->notifications, 1);

    while (queue.Count() > 0)
        queue.Delete(queue.Item(0));
    EXPECT_EQ(host->notifications, 3) << "deleting the last file notifies too";
    EXPECT_EQ(host->scalar("select count(*) from ERIK"), "0");
    queue.Refresh();
    EXPECT_EQ(host->notifications, 3) << "an empty list stays empty without notice";
}

TEST_F(PrintQueueChanges, FailedDeleteKeepsTheFile)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("MAJA");
    ASSERT_EQ(queue.Count(), 1);
    host->exec("drop table MAJA");
    host->notifications = 0;
    EXPECT_NE(messageOf([&] { queue.Delete(queue.Item(0)); }), u"(no error)");
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_EQ(host->notifications, 0);
    EXPECT_EQ(host->scalar("select count(*) from CATALOG where \"USER\"='MAJA'"), "1")
        << "the catalog row is deleted only after the page rows";
}

TEST_F(PrintQueueChanges, IdentitiesWithQuotesStayInsideTheirLiteral)
{
    // A print file whose identity holds a quote, next to ERIK's own files.
    host->exec("insert into CATALOG select 'X'' OR ''1''=''1', FDATE, FTIME, FHGHT, FWIDTH, FPAGES, FCPI, FLPI, "
               "FSTAT, FTYPE, FFORM, FNAME, JOBNAM, FTXT, \"USER\" from CATALOG where FID='0000300001'");
    host->exec("insert into ERIK select 'X'' OR ''1''=''1', FPAGE, FLINE, FCTL, FROW from ERIK "
               "where FID='0000300001'");
    const QByteArray otherRows = host->scalar("select count(*) from ERIK where FID='0000300001'");
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ERIK");
    ASSERT_EQ(queue.Count(), 4);
    TPrintFile& odd = *queue.Item(queue.IndexOfId("X' OR '1'='1"));
    EXPECT_GT(odd.Page(0).RowCount(), 0);
    odd.SetStatus("Q");
    EXPECT_EQ(host->scalar("select count(*) from CATALOG where FSTAT='Q'"), "1");
    queue.Delete(&odd);
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_EQ(host->scalar("select count(*) from CATALOG where \"USER\"='ERIK'"), "3");
    EXPECT_EQ(host->scalar("select count(*) from ERIK where FID='0000300001'"), otherRows);
    EXPECT_EQ(host->scalar("select count(*) from CATALOG where FSTAT='Q'"), "0");
}

TEST_F(PrintQueueChanges, UserLinesWithFourDigitCounts)
{
    // 997 more catalog rows for ANNA (1000 in all) and 1231 for MAJA (1232).
    const QByteArray copies =
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
        "insert into CATALOG select 'C%2' || i, FDATE, FTIME, FHGHT, FWIDTH, FPAGES, FCPI, FLPI, FSTAT, "
        "FTYPE, FFORM, FNAME, JOBNAM, FTXT, \"USER\" from CATALOG, n where FID='%3'";
    host->exec(QString::fromLatin1(copies).arg(997).arg(QLatin1StringView("A")).arg(u"0000200001").toLatin1());
    host->exec(QString::fromLatin1(copies).arg(1231).arg(QLatin1StringView("M")).arg(u"0000400001").toLatin1());
    QByteArrayList users;
    ASSERT_EQ(host->queue->ListUsers(users, false), 4);
    EXPECT_EQ(users, (QByteArrayList{"1232 -MAJA", "1000 -ANNA", "003 - ERIK", "002 - QSECOFR"}));
}

TEST_F(PrintQueueChanges, BadHeaderFailsTheLoadAndKeepsTheList)
{
    TPrintFiles& queue = *host->queue;
    queue.SetUser("ANNA");
    ASSERT_EQ(queue.Count(), 3);
    host->notifications = 0;
    host->exec("update CATALOG set FHGHT='sex' where FID='0000200002'");
    queue.RetryWait = [](int) {};
    EXPECT_NE(messageOf([&] { queue.Refresh(); }), u"(no error)");
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_EQ(host->notifications, 0);
}

} // namespace
} // namespace lystra::test
