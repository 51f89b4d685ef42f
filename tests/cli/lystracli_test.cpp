// The built lystra-cli run as a process against vidazevivu with the demo data:
// what each command prints and writes, and the exit code and message of each
// kind of bad input.

#include "odbc/todbcclient.h"
#include "vidazevivuprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lystra::test {
namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

QString cliPath()
{
    return QStringLiteral(LYSTRA_CLI_PATH);
}

// Runs `program` with the Swedish formats, as the tests of the model pin them.
Result runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("sv_SE.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList lines(const QString& text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
}

// Output of one of poppler's tools for a PDF file.
QString poppler(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A loopback port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class LystraCliTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        VidazevivuProcess::Options options;
        options.initDemo = true;
        s_server = new VidazevivuProcess(options);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }

    static QStringList onServer(const VidazevivuProcess& server, const QStringList& arguments)
    {
        return QStringList{QStringLiteral("--port"), QString::number(server.port())} + arguments;
    }
    static Result run(const QStringList& arguments)
    {
        return runProgram(cliPath(), onServer(*s_server, arguments));
    }

    // The rows of a print file straight from the page-row table, as a spool
    // file holds them.
    static QByteArray spoolRows(const QByteArray& user, const QByteArray& id)
    {
        TODBCClient client(s_server->host(), 5000, s_server->port());
        client.OpenDatabase("LYSTRA", "", "");
        client.ExecuteQuery("select FCTL, FROW from " + user + " where FID='" + id +
                            "' order by FPAGE, FLINE");
        QByteArray bytes;
        while (!client.EndOfData()) {
            const QByteArray control = client.RowValues().at(0);
            bytes += (control.isEmpty() ? QByteArray(" ") : control.left(1)) +
                     client.RowValues().at(1) + "\r\n";
            client.NextRow();
        }
        return bytes;
    }

    QTemporaryDir m_dir;
    static inline VidazevivuProcess* s_server = nullptr;
};

TEST_F(LystraCliTest, UsersListsCountsAndNamesWithinTheDate)
{
    const Result all = run({QStringLiteral("users")});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_EQ(all.err, QString());
    QStringList users = lines(all.out);
    // Equal counts have no fixed order; the largest come first.
    EXPECT_EQ(users.mid(2),
              (QStringList{QStringLiteral("002 - QSECOFR"), QStringLiteral("001 - MAJA")}));
    users = users.mid(0, 2);
    users.sort();
    EXPECT_EQ(users, (QStringList{QStringLiteral("003 - ANNA"), QStringLiteral("003 - ERIK")}));

    const Result before =
        run({QStringLiteral("users"), QStringLiteral("--before"), QStringLiteral("20251110")});
    ASSERT_EQ(before.code, 0) << before.err.toStdString();
    QStringList early = lines(before.out);
    early.sort();
    EXPECT_EQ(early, (QStringList{QStringLiteral("001 - ANNA"), QStringLiteral("001 - ERIK")}));
}

TEST_F(LystraCliTest, ListPrintsOneTabSeparatedLinePerFileNewestFirst)
{
    const Result all = run({QStringLiteral("list"), QStringLiteral("anna")});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_EQ(
        lines(all.out),
        (QStringList{
            QStringLiteral("0000200003\t2025-11-28 05:45:00\t2000\t\tHUVUDBOK\t*STD\tHuvudbok "
                           "helår 2025 (2000 sidor)"),
            QStringLiteral("0000200002\t2025-11-14 "
                           "13:10:05\t3\t\tVERLISTA\t*STD\tVerifikationslista vecka 46"),
            QStringLiteral(
                "0000200001\t2025-11-03 07:45:12\t3\tV\tHUVUDBOK\t*STD\tHuvudbok oktober 2025"),
        }));

    // The date is included; a known user with nothing that early is no error.
    const Result upTo =
        run({QStringLiteral("list"), QStringLiteral("ANNA"), QStringLiteral("--before=20251114")});
    ASSERT_EQ(upTo.code, 0) << upTo.err.toStdString();
    EXPECT_EQ(lines(upTo.out).size(), 2);
    EXPECT_TRUE(upTo.out.startsWith(u"0000200002\t"));
    const Result none =
        run({QStringLiteral("list"), QStringLiteral("ANNA"), QStringLiteral("--before=20250101")});
    EXPECT_EQ(none.code, 0) << none.err.toStdString();
    EXPECT_EQ(none.out, QString());
}

TEST_F(LystraCliTest, ShowPrintsThePlainTextOfOnePageOrOfAllPages)
{
    const Result page =
        run({QStringLiteral("show"), QStringLiteral("ERIK"), QStringLiteral("0000300001"),
             QStringLiteral("--page"), QStringLiteral("1")});
    ASSERT_EQ(page.code, 0) << page.err.toStdString();
    const QStringList text = page.out.split(u'\n');
    EXPECT_TRUE(text.at(2).startsWith(u"411 06 GÖTEBORG")) << text.at(2).toStdString();
    EXPECT_TRUE(page.out.contains(u"Fakturanr      71001"));
    EXPECT_FALSE(page.out.contains(u'\r'));
    EXPECT_FALSE(page.out.contains(u'\f'));

    const Result all =
        run({QStringLiteral("show"), QStringLiteral("ERIK"), QStringLiteral("0000300001")});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.startsWith(page.out));
    EXPECT_EQ(all.out.count(QStringLiteral("\f\n")), 2) << "three pages, two page breaks";
}

TEST_F(LystraCliTest, SaveToAFolderUsesTheProposedNamesAndWritesEveryFormat)
{
    const Result pdf =
        run({QStringLiteral("save"), QStringLiteral("ANNA"), QStringLiteral("0000200001"),
             QStringLiteral("0000200002"), QStringLiteral("--format"), QStringLiteral("pdf"),
             QStringLiteral("--out"), m_dir.path()});
    ASSERT_EQ(pdf.code, 0) << pdf.err.toStdString();
    EXPECT_EQ(pdf.err, QString()) << "no progress line when stderr is no terminal";
    const QString first = m_dir.filePath(QStringLiteral("HUVUDBOK-20251103-074512-0000200001.pdf"));
    const QString second =
        m_dir.filePath(QStringLiteral("VERLISTA-20251114-131005-0000200002.pdf"));
    EXPECT_EQ(lines(pdf.out), (QStringList{first, second}));
    const QString info = poppler(QStringLiteral("pdfinfo"), {first});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))))
        << info.toStdString();
    EXPECT_TRUE(
        info.contains(QRegularExpression(QStringLiteral("Page size:\\s+842 x 595 pts \\(A4\\)"))))
        << info.toStdString();
    EXPECT_TRUE(poppler(QStringLiteral("pdftotext"), {first, QStringLiteral("-")})
                    .contains(u"Kundfordringar"));

    const Result spool = run({QStringLiteral("save"), QStringLiteral("ANNA"),
                              QStringLiteral("0000200001"), QStringLiteral("--format"),
                              QStringLiteral("spl"), QStringLiteral("--out"), m_dir.path()});
    ASSERT_EQ(spool.code, 0) << spool.err.toStdString();
    EXPECT_EQ(readFile(m_dir.filePath(QStringLiteral("HUVUDBOK-20251103-074512-0000200001.spl"))),
              spoolRows("ANNA", "0000200001"));

    const Result text = run({QStringLiteral("save"), QStringLiteral("ANNA"),
                             QStringLiteral("0000200001"), QStringLiteral("--format"),
                             QStringLiteral("txt"), QStringLiteral("--out"), m_dir.path()});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const QByteArray bytes =
        readFile(m_dir.filePath(QStringLiteral("HUVUDBOK-20251103-074512-0000200001.txt")));
    // Host text with the numbers normalised for the Swedish decimal comma.
    EXPECT_TRUE(bytes.contains("1001 1510   \xC5terbetalning kund"))
        << bytes.left(400).toStdString();
    EXPECT_TRUE(bytes.contains(" 8943,51")) << "the grouping point of 8.943,51 is gone";
    EXPECT_FALSE(bytes.contains("8.943,51"));
}

TEST_F(LystraCliTest, SaveToAFileNameReplacesThatFileOnly)
{
    const QString target = m_dir.filePath(QStringLiteral("rapport.dat"));
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    const Result result =
        run({QStringLiteral("save"), QStringLiteral("QSECOFR"), QStringLiteral("0000100002"),
             QStringLiteral("--format"), QStringLiteral("spl"), QStringLiteral("--out"), target});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(readFile(target), spoolRows("QSECOFR", "0000100002"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("rapport.dat")});
}

TEST_F(LystraCliTest, TableWritesTheTableViewCellsAsCsv)
{
    const QString csv = m_dir.filePath(QStringLiteral("tabell.csv"));
    const Result result = run({QStringLiteral("table"), QStringLiteral("ANNA"),
                               QStringLiteral("0000200001"), QStringLiteral("--csv"), csv});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(lines(result.out), QStringList{csv});
    const QStringList rows = QString::fromUtf8(readFile(csv)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(rows.size(), 10);
    EXPECT_EQ(rows.at(0), u"Datum,Ver.nr,Konto,Text,Belopp,Bokfört,Sign");
    // Dates in the locale's short format, the trailing minus in front, the
    // decimal comma kept (and the field quoted for it), no grouping point.
    EXPECT_TRUE(
        rows.contains(u"2025-10-07,1001,1510,Återbetalning kund,\"8943,51\",2025-10-07,LS"));
    EXPECT_TRUE(
        rows.contains(u"2025-10-15,1002,1510,Inbetalning kund,\"-17389,67\",2025-10-18,AL"));
    for (const QString& row : rows)
        EXPECT_FALSE(row.contains(u"-----"))
            << "underlines are no table rows: " << row.toStdString();

    // Rows that hold a filter string are left out.
    const QString filters = m_dir.filePath(QStringLiteral("filter.gft"));
    QFile filterFile(filters);
    ASSERT_TRUE(filterFile.open(QIODevice::WriteOnly));
    filterFile.write("Inbetalning kund\r\n");
    filterFile.close();
    const QString filtered = m_dir.filePath(QStringLiteral("filtrerad.csv"));
    const Result withFilter =
        run({QStringLiteral("table"), QStringLiteral("ANNA"), QStringLiteral("0000200001"),
             QStringLiteral("--filters"), filters, QStringLiteral("--csv"), filtered});
    ASSERT_EQ(withFilter.code, 0) << withFilter.err.toStdString();
    const QString kept = QString::fromUtf8(readFile(filtered));
    EXPECT_FALSE(kept.contains(u"Inbetalning kund"));
    EXPECT_TRUE(kept.contains(u"Återbetalning kund"));
    EXPECT_LT(kept.count(u'\n'), rows.size());

    // An invoice has no ruler line: an empty table, said on stderr, no error.
    const QString invoice = m_dir.filePath(QStringLiteral("faktura.csv"));
    const Result none = run({QStringLiteral("table"), QStringLiteral("ERIK"),
                             QStringLiteral("0000300001"), QStringLiteral("--csv"), invoice});
    EXPECT_EQ(none.code, 0) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains(u"har inget tabellformat")) << none.err.toStdString();
    EXPECT_EQ(readFile(invoice), QByteArray());
}

TEST_F(LystraCliTest, BadInputGivesAClearMessageAndTheDocumentedCode)
{
    const QString missingFolder = m_dir.filePath(QStringLiteral("saknas/ut.pdf"));
    const QString underAFile = m_dir.filePath(QStringLiteral("fil.txt/ut.csv"));
    QFile plain(m_dir.filePath(QStringLiteral("fil.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    struct Case {
        const char* name;
        QStringList arguments;
        int code;
        QString message;
    };
    const QString save = QStringLiteral("save");
    const Case cases[] = {
        {"unknown user",
         {QStringLiteral("list"), QStringLiteral("NOBODY")},
         3,
         QStringLiteral("Användaren NOBODY har inga utskrifter.")},
        {"unknown user before a date",
         {QStringLiteral("list"), QStringLiteral("NOBODY"), QStringLiteral("--before"),
          QStringLiteral("20250101")},
         3,
         QStringLiteral("Användaren NOBODY har inga utskrifter.")},
        {"user that cannot be a table",
         {QStringLiteral("show"), QStringLiteral("x' or '1'='1"), QStringLiteral("1")},
         1,
         QStringLiteral("Användarprofilen \"X' OR '1'='1\" kan inte vara ett tabellnamn")},
        {"unknown id",
         {QStringLiteral("show"), QStringLiteral("ANNA"), QStringLiteral("0000300001")},
         3,
         QStringLiteral("Utskriften 0000300001 finns inte hos ANNA.")},
        {"page past the end",
         {QStringLiteral("show"), QStringLiteral("ANNA"), QStringLiteral("0000200001"),
          QStringLiteral("--page"), QStringLiteral("4")},
         3,
         QStringLiteral("Sidan 4 finns inte i utskriften 0000200001 (sidor 1-3).")},
        {"bad date",
         {QStringLiteral("list"), QStringLiteral("ANNA"), QStringLiteral("--before"),
          QStringLiteral("20251301")},
         1,
         QStringLiteral("Ogiltigt datum \"20251301\"")},
        {"out folder missing",
         {save, QStringLiteral("ANNA"), QStringLiteral("0000200001"), QStringLiteral("--format"),
          QStringLiteral("pdf"), QStringLiteral("--out"), missingFolder},
         4,
         QStringLiteral("Mappen \"%1\" finns inte.").arg(QFileInfo(missingFolder).absolutePath())},
        {"out not writable",
         {save, QStringLiteral("ANNA"), QStringLiteral("0000200001"), QStringLiteral("--format"),
          QStringLiteral("pdf"), QStringLiteral("--out"), QStringLiteral("/proc/lystra.pdf")},
         4,
         QStringLiteral("Kan inte skapa filen \"/proc/lystra.pdf\"")},
        {"csv under a file",
         {QStringLiteral("table"), QStringLiteral("ANNA"), QStringLiteral("0000200001"),
          QStringLiteral("--csv"), underAFile},
         4,
         QStringLiteral("finns inte.")},
        {"several files to one name",
         {save, QStringLiteral("ANNA"), QStringLiteral("0000200001"), QStringLiteral("0000200002"),
          QStringLiteral("--format"), QStringLiteral("txt"), QStringLiteral("--out"),
          m_dir.filePath(QStringLiteral("a.txt"))},
         1,
         QStringLiteral("--out måste vara en befintlig mapp")},
        {"filters unreadable",
         {QStringLiteral("table"), QStringLiteral("ANNA"), QStringLiteral("0000200001"),
          QStringLiteral("--filters"), m_dir.filePath(QStringLiteral("inga.gft")),
          QStringLiteral("--csv"), m_dir.filePath(QStringLiteral("t.csv"))},
         4,
         QStringLiteral("Kan inte läsa filen")},
        {"unknown command",
         {QStringLiteral("print"), QStringLiteral("ANNA")},
         1,
         QStringLiteral("Okänt kommando \"print\"")},
    };
    for (const Case& c : cases) {
        const Result result = run(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.name << ": " << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith(u"lystra-cli: ")) << c.name;
        EXPECT_TRUE(result.err.contains(c.message)) << c.name << ": " << result.err.toStdString();
        EXPECT_EQ(result.out, QString()) << c.name;
    }
    // Nothing was written by any of them.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("fil.txt")});
}

TEST_F(LystraCliTest, ServerDownIsAConnectionFailure)
{
    const quint16 port = closedPort();
    const Result result = runProgram(cliPath(), {QStringLiteral("--port"), QString::number(port),
                                                 QStringLiteral("list"), QStringLiteral("ANNA")});
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(
        result.err.startsWith(u"lystra-cli: Databasserver 127.0.0.1, LYSTRA svarar inte ...\n"))
        << result.err.toStdString();
    EXPECT_EQ(result.out, QString());
}

TEST_F(LystraCliTest, HelpNamesTheCommandsAndTheExitCodes)
{
    const Result result = runProgram(cliPath(), {QStringLiteral("--help")});
    EXPECT_EQ(result.code, 0);
    for (const char* text :
         {"users [--before YYYYMMDD]", "list USER", "show USER ID [--page N]",
          "save USER ID... --format spl|txt|pdf --out FIL|MAPP",
          "table USER ID [--filters FIL] --csv FIL", "delete USER ID...", "--server HOST",
          "--port N", "  2  servern svarar inte", "  3  finns inte", "  4  fil"})
        EXPECT_TRUE(result.out.contains(QString::fromUtf8(text))) << text;
}

TEST_F(LystraCliTest, SettingsFileBesideTheProgramNamesTheServer)
{
    // A copy of the program in a folder of its own, with the desktop
    // program's settings file and, in the second round, one of its own that
    // takes precedence.
    const QString program = m_dir.filePath(QStringLiteral("lystra-cli"));
    ASSERT_TRUE(QFile::copy(cliPath(), program));
    const auto writeSettings = [&](const QString& name, quint16 port) {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Lystra]\r\nVIDAZevivu = 127.0.0.1 \r\nPort=" + QByteArray::number(port) +
                   "\r\n");
    };
    writeSettings(QStringLiteral("lystra.ini"), s_server->port());
    const Result desktops = runProgram(program, {QStringLiteral("list"), QStringLiteral("MAJA")});
    EXPECT_EQ(desktops.code, 0) << desktops.err.toStdString();
    EXPECT_TRUE(desktops.out.startsWith(u"0000400001\t"));

    EXPECT_FALSE(desktops.err.contains(u"select")) << "statements are traced only when asked";

    QFile trace(m_dir.filePath(QStringLiteral("lystra.ini")));
    ASSERT_TRUE(trace.open(QIODevice::Append));
    trace.write("[System]\r\nDebugSQL=1\r\n");
    trace.close();
    const Result traced = runProgram(program, {QStringLiteral("list"), QStringLiteral("maja")});
    EXPECT_EQ(traced.code, 0) << traced.err.toStdString();
    EXPECT_EQ(traced.out, desktops.out);
    EXPECT_TRUE(traced.err.contains(
        u"select * from CATALOG where UPPER(\"USER\")='MAJA' order by FDATE desc, FTIME desc"))
        << traced.err.toStdString();

    writeSettings(QStringLiteral("lystra-cli.ini"), closedPort());
    const Result own = runProgram(program, {QStringLiteral("list"), QStringLiteral("MAJA")});
    EXPECT_EQ(own.code, 2) << "its own file comes first";
    const Result overridden =
        runProgram(program, onServer(*s_server, {QStringLiteral("list"), QStringLiteral("MAJA")}));
    EXPECT_EQ(overridden.code, 0) << "--port comes before any file: "
                                  << overridden.err.toStdString();
}

// Commands that change the queue run on a server of their own.
class LystraCliChangeTest : public testing::Test {
protected:
    LystraCliChangeTest() : m_server(VidazevivuProcess::Options{true, {}, {}}) {}

    Result run(const QStringList& arguments)
    {
        return runProgram(cliPath(),
                          QStringList{QStringLiteral("--port"), QString::number(m_server.port())} +
                              arguments);
    }
    void execute(const QByteArray& statement)
    {
        TODBCClient client(m_server.host(), 5000, m_server.port());
        client.OpenDatabase("LYSTRA", "", "");
        client.ExecuteCommand(statement);
    }

    VidazevivuProcess m_server;
    QTemporaryDir m_dir;
};

TEST_F(LystraCliChangeTest, DeleteRemovesTheFilesOnlyWhenEveryIdExists)
{
    const Result refused = run({QStringLiteral("delete"), QStringLiteral("ERIK"),
                                QStringLiteral("0000300001"), QStringLiteral("0000399999")});
    EXPECT_EQ(refused.code, 3);
    EXPECT_TRUE(refused.err.contains(u"Utskriften 0000399999 finns inte hos ERIK."))
        << refused.err.toStdString();
    EXPECT_EQ(lines(run({QStringLiteral("list"), QStringLiteral("ERIK")}).out).size(), 3)
        << "nothing deleted";

    const Result deleted =
        run({QStringLiteral("delete"), QStringLiteral("erik"), QStringLiteral("0000300001"),
             QStringLiteral("0000300003"), QStringLiteral("0000300001")});
    ASSERT_EQ(deleted.code, 0) << deleted.err.toStdString();
    EXPECT_EQ(lines(deleted.out),
              (QStringList{QStringLiteral("0000300001"), QStringLiteral("0000300003")}));
    const Result left = run({QStringLiteral("list"), QStringLiteral("ERIK")});
    EXPECT_EQ(lines(left.out).size(), 1);
    EXPECT_TRUE(left.out.startsWith(u"0000300002\t"));
    // The page rows went with the catalog row.
    const Result gone =
        run({QStringLiteral("show"), QStringLiteral("ERIK"), QStringLiteral("0000300001")});
    EXPECT_EQ(gone.code, 3);

    // Deleting the last file leaves an unknown user.
    ASSERT_EQ(
        run({QStringLiteral("delete"), QStringLiteral("MAJA"), QStringLiteral("0000400001")}).code,
        0);
    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("MAJA")}).code, 3);
}

TEST_F(LystraCliChangeTest, MidnightNamesAndTableCellsOfALongPage)
{
    // One page of 130 data rows under a ruler, written at midnight. The
    // columns: a date ("Datum", six digits), a "Bokfört" column that is a
    // date column for its numbers but holds only short ones, an amount.
    execute("create table TABELL (FID VARCHAR(10) NOT NULL, FPAGE NUMERIC(7,0) NOT NULL, "
            "FLINE NUMERIC(5,0) NOT NULL, FCTL CHAR(1) NOT NULL, FROW VARCHAR(198) NOT NULL)");
    execute("insert into CATALOG (FID, FDATE, FTIME, FHGHT, FWIDTH, FPAGES, FCPI, FLPI, FSTAT, "
            "FTYPE, FFORM, FNAME, JOBNAM, FTXT, \"USER\") values ('0000800001', 20250115, 0, "
            "66, 80, 1, 10, 6, ' ', 'SPL', '*STD', 'LISTA', 'JOBB', 'Lista', 'TABELL')");
    QList<QByteArray> rows = {"Datum    Bokf\xf6rt  Belopp", "--------I--------I---------------"};
    const char* const dates[] = {"090315", "990315", "490315", "500315"};
    for (int i = 0; i < 130; ++i)
        rows << QByteArray(dates[i % 4]) + "   " + QByteArray::number(i).rightJustified(6) + "   " +
                    QByteArray::number(i * 1000 + 1).rightJustified(8) + ",50";
    for (int line = 0; line < rows.size(); ++line)
        execute("insert into TABELL values ('0000800001', 1, " + QByteArray::number(line + 1) +
                ", ' ', '" + rows[line] + "')");

    const Result saved = run({QStringLiteral("save"), QStringLiteral("TABELL"),
                              QStringLiteral("0000800001"), QStringLiteral("--format"),
                              QStringLiteral("txt"), QStringLiteral("--out"), m_dir.path()});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    EXPECT_EQ(lines(saved.out),
              QStringList{m_dir.filePath(QStringLiteral("LISTA-20250115-000000-0000800001.txt"))})
        << "the time is part of the proposed name also at midnight";

    const QString csv = m_dir.filePath(QStringLiteral("lista.csv"));
    const Result table = run({QStringLiteral("table"), QStringLiteral("TABELL"),
                              QStringLiteral("0000800001"), QStringLiteral("--csv"), csv});
    ASSERT_EQ(table.code, 0) << table.err.toStdString();
    const QStringList cells = QString::fromUtf8(readFile(csv)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(cells.size(), 131) << "every row of the page, also those after the hundredth";
    EXPECT_EQ(cells.at(0), u"Datum,Bokfört,Belopp");
    // Six-digit dates: 09 and 49 are this century, 99 and 50 the last. The
    // short numbers of the date column are no dates: the cell stays empty.
    const struct {
        int row;
        const char16_t* text;
    } expected[] = {
        {1, u"2009-03-15,,\"1,50\""},        {2, u"1999-03-15,,\"1001,50\""},
        {3, u"2049-03-15,,\"2001,50\""},     {4, u"1950-03-15,,\"3001,50\""},
        {101, u"2009-03-15,,\"100001,50\""}, {130, u"1999-03-15,,\"129001,50\""},
    };
    for (const auto& e : expected)
        EXPECT_EQ(cells.at(e.row), QString::fromUtf16(e.text)) << e.row;
}

TEST_F(LystraCliChangeTest, ServerErrorWhileSavingLeavesNoFileBehind)
{
    // A catalog row whose user has no page-row table: listing works, reading
    // its pages fails on the server.
    execute("insert into CATALOG (FID, FDATE, FTIME, FHGHT, FWIDTH, FPAGES, FCPI, FLPI, FSTAT, "
            "FTYPE, FFORM, FNAME, "
            "JOBNAM, FTXT, \"USER\") values ('0000900001', 20251201, 120000, 66, 80, 2, 10, 6, ' "
            "', 'SPL', '*STD', "
            "'QPRINT', 'JOBB', 'Utan sidor', 'GHOST')");
    ASSERT_EQ(run({QStringLiteral("list"), QStringLiteral("GHOST")}).code, 0);
    const QString target = m_dir.filePath(QStringLiteral("ghost.pdf"));
    const Result result =
        run({QStringLiteral("save"), QStringLiteral("GHOST"), QStringLiteral("0000900001"),
             QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("--out"), target});
    EXPECT_EQ(result.code, 2) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"GHOST")) << result.err.toStdString();
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    m_server.stop();
    const Result down = run({QStringLiteral("users")});
    EXPECT_EQ(down.code, 2);
}

} // namespace
} // namespace lystra::test
