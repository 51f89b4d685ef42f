// The database layer's windows, offscreen: the login form, the SQL log with
// its layout and colouring, and the manager's start-up error box.

#include "db/edatabaseerror.h"
#include "db/tcsdatabase.h"
#include "db/tcssocketdriver.h"
#include "db/tdatabasemanager.h"
#include "db/widgets/messageboxfailurehandler.h"
#include "db/widgets/sqlhighlighter.h"
#include "db/widgets/tcsloginform.h"
#include "db/widgets/tdbloggform.h"
#include "fakedriver.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace lystra::test {
namespace {

// Runs `action` on the modal dialog of type T once it is showing.
template <typename T> void whenModal(std::function<void(T&)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(*dialog);
        }
    });
    timer->start();
}

// ---- login form --------------------------------------------------------------

class LoginFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        database.Params().SetValues(u"Server", QStringLiteral("10.0.0.7"));
        database.Params().SetValues(u"DBQ", QStringLiteral("LYSTRA"));
        database.Params().SetValues(u"UID", QStringLiteral("ANNA"));
        database.Params().SetValues(u"PWD", QStringLiteral("hemligt"));
    }
    FakeDatabase database{QStringLiteral("LOGIN_DB")};
};

TEST_F(LoginFormTest, ShowsTheFourValuesWithThePasswordMasked)
{
    QStringList shown;
    QLineEdit::EchoMode passwordMode = QLineEdit::Normal;
    QString title;
    whenModal<TcsLoginForm>([&](TcsLoginForm& form) {
        title = form.windowTitle();
        for (QLineEdit* box : {form.edServer, form.edDatabase, form.edUser, form.edPassword})
            shown << box->text();
        passwordMode = form.edPassword->echoMode();
        QTest::mouseClick(form.Button2, Qt::LeftButton);
    });
    EXPECT_FALSE(TcsLoginForm::ShowLoginForm(database));
    EXPECT_EQ(title, u"Login");
    EXPECT_EQ(shown, (QStringList{QStringLiteral("10.0.0.7"), QStringLiteral("LYSTRA"),
                                  QStringLiteral("ANNA"), QStringLiteral("hemligt")}));
    EXPECT_EQ(passwordMode, QLineEdit::Password);
}

TEST_F(LoginFormTest, OkWritesTheBoxesBackAndAnEmptyBoxRemovesItsLine)
{
    whenModal<TcsLoginForm>([](TcsLoginForm& form) {
        form.edUser->clear();
        form.edServer->setText(QStringLiteral("gateway"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    EXPECT_TRUE(TcsLoginForm::ShowLoginForm(database));
    EXPECT_FALSE(database.Params().Contains(u"UID"));
    EXPECT_EQ(database.Params().Values(u"Server"), u"gateway");
    EXPECT_EQ(database.Params().Values(u"DBQ"), u"LYSTRA");
    EXPECT_EQ(database.Params().Values(u"PWD"), u"hemligt");
}

TEST_F(LoginFormTest, CancelAndEscapeLeaveTheValuesUnchanged)
{
    const QStringList before = database.Params().Lines();
    for (const bool escape : {false, true}) {
        whenModal<TcsLoginForm>([escape](TcsLoginForm& form) {
            form.edDatabase->setText(QStringLiteral("OTHER"));
            if (escape)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                QTest::mouseClick(form.Button2, Qt::LeftButton);
        });
        EXPECT_FALSE(TcsLoginForm::ShowLoginForm(database)) << escape;
        EXPECT_EQ(database.Params().Lines(), before) << escape;
    }
}

TEST_F(LoginFormTest, ConnectingWithLoginPromptUsesTheFormsValues)
{
    TcsLoginForm::Install();
    TcsDatabase db;
    db.SetName(QStringLiteral("PROMPT_DB"));
    db.SetReadOnly(true); // connects without opening a server connection
    db.SetLoginPrompt(true);
    db.Params().SetValues(u"UID", QStringLiteral("ANNA"));
    whenModal<TcsLoginForm>([](TcsLoginForm& form) {
        form.edUser->clear();
        form.edDatabase->setText(QStringLiteral("LYSTRA"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.SocketDriver().LoginDatabase(), u"LYSTRA");
    EXPECT_TRUE(db.SocketDriver().LoginUser().isEmpty())
        << "the open command carries an empty user word";
    db.Close();

    whenModal<TcsLoginForm>(
        [](TcsLoginForm& form) { QTest::mouseClick(form.Button2, Qt::LeftButton); });
    EXPECT_THROW(db.Open(), EAbort) << "a cancelled login aborts silently";
    EXPECT_FALSE(db.Connected());
    TcsCustomDatabase::SetLoginDialog(nullptr);
}

// ---- SQL log -------------------------------------------------------------------

class SqlLogTest : public testing::Test {
protected:
    void SetUp() override { TdbLoggForm::FreeInstance(); }
    void TearDown() override { TdbLoggForm::FreeInstance(); }

    static QStringList lines(const TdbLoggForm& log) { return log.Text().split(u'\n'); }
    // The note's time of day in the Swedish long time format.
    static QString noteTime() { return QStringLiteral(R"(\d\d:\d\d:\d\d)"); }
};

TEST_F(SqlLogTest, StatementLayout)
{
    const struct {
        const char* name;
        const char* trace;
        const char* expected; // lines joined by "|"
    } cases[] = {
        {"clauses in capitals",
         "15 ms |\tSELECT FID, FSTAT FROM CATALOG WHERE \"USER\"='ANNA' ORDER BY FID ",
         "SELECT FID, FSTAT |from CATALOG |where \"USER\"='ANNA' |order by FID"},
        {"blanks reduced, tabs kept", "3 ms |\tselect   A,\tB   from  T", "select A,\tB |from T"},
        {"inside longer words too", "1 ms |\tselect DATEFROM, NOWHERE from T",
         "select DATE|from, NO|where |from T"},
        {"subselect and union",
         "2 ms |\tselect A from T where A in (SELECT B from U) UNION select C from V",
         "select A |from T |where A in |(select B |from U) |union|\n select C |from V"},
        {"group by", "2 ms |\tselect A, count(*) from T GROUP  BY A",
         "select A, count(*) |from T |group by A"},
    };
    for (const auto& c : cases) {
        QString expected = QString::fromLatin1(c.expected);
        expected.replace(QStringLiteral("|\n"), QStringLiteral("\r\n"));
        expected.replace(u'|', QStringLiteral("\r\n"));
        EXPECT_EQ(TdbLoggForm::LayoutStatement(QString::fromLatin1(c.trace)), expected) << c.name;
    }
}

TEST_F(SqlLogTest, RunTimeFormatting)
{
    const struct {
        const char* trace;
        const char* expected;
    } cases[] = {
        {"15 ms |\tselect 1", "0015"}, {"0 ms |\tselect 1", ""}, {"12345 ms |\tx", "12345"},
        {"-5 ms |\tx", "-0005"},       {"ms |\tx", ""},          {"  7 ms |\tx", "0007"},
        {"1a2 ms |\tx", "0012"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TdbLoggForm::FormatRunTime(QString::fromLatin1(c.trace)),
                  QString::fromLatin1(c.expected))
            << c.trace;
}

TEST_F(SqlLogTest, AttachedHostDatabaseTracesInTheLog)
{
    FakeDatabase database(QStringLiteral("TRACE_DB"));
    database.SetTag(0);
    TdbLoggForm& log = TdbLoggForm::Attach(database);
    EXPECT_EQ(TdbLoggForm::Instance(), &log);
    EXPECT_EQ(log.windowTitle(), u"SQL Debug");
    EXPECT_EQ(log.size(), QSize(775, 367));
    EXPECT_EQ(log.pos(), QPoint(0, 0));
    EXPECT_TRUE(log.isVisible());
    EXPECT_EQ(log.Memo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    ASSERT_TRUE(database.OnTraceSQL);

    database.OnTraceSQL("15 ms |\tSELECT FID FROM CATALOG WHERE FSTAT='N' ORDER BY FID ");
    const QStringList shown = lines(log);
    ASSERT_EQ(shown.size(), 6) << qPrintable(log.Text());
    EXPECT_EQ(shown[0], u"");
    EXPECT_EQ(shown[1], u"SELECT FID ");
    EXPECT_EQ(shown[2], u"from CATALOG ");
    EXPECT_EQ(shown[3], u"where FSTAT='N' ");
    EXPECT_EQ(shown[4], u"order by FID");
    EXPECT_TRUE(QRegularExpression(u"^\\{dbIBM 0015 ms - " + noteTime() + u"\\}$")
                    .match(shown[5])
                    .hasMatch())
        << qPrintable(shown[5]);

    database.OnTraceSQL("0 ms |\tselect 1");
    EXPECT_TRUE(QRegularExpression(u"^\\{dbIBM  ms - " + noteTime() + u"\\}$")
                    .match(lines(log).last())
                    .hasMatch())
        << "under a millisecond: two blanks; " << qPrintable(lines(log).last());
}

TEST_F(SqlLogTest, LabelsByKind)
{
    const struct {
        int kind;
        const char* label;
    } cases[] = {{0, "dbIBM"}, {1, "dbSQL"}, {2, "dbOpen"}, {3, ""}};
    for (const auto& c : cases) {
        FakeDatabase database(QStringLiteral("KIND_DB"));
        database.SetTag(c.kind);
        TdbLoggForm::Attach(database);
        EXPECT_EQ(TdbLoggForm::LabelOf(c.kind), QString::fromLatin1(c.label));
        EXPECT_EQ(bool(database.OnTraceSQL), c.kind != 3) << c.kind;
        EXPECT_TRUE(bool(database.AfterDisconnect)) << c.kind;
    }
}

TEST_F(SqlLogTest, DisconnectionNotesStopOnceTheUserClosedTheLog)
{
    FakeDatabase database(QStringLiteral("NOTES_DB"));
    database.SetTag(1);
    TdbLoggForm& log = TdbLoggForm::Attach(database);
    database.Open();
    database.Close();
    EXPECT_TRUE(QRegularExpression(u"^\\{dbSQL - Disconnected - " + noteTime() + u"\\}$")
                    .match(lines(log).last())
                    .hasMatch())
        << qPrintable(log.Text());

    database.OnTraceSQL("4 ms |\tselect A from T");
    log.close();
    EXPECT_FALSE(log.isVisible());
    EXPECT_TRUE(log.ClosedByUser());
    EXPECT_EQ(TdbLoggForm::Instance(), &log) << "closing hides, the window stays";

    const QString closedText = log.Text();
    database.Open();
    database.Close();
    EXPECT_FALSE(log.isVisible()) << "a disconnection does not bring the log back";
    EXPECT_EQ(log.Text(), closedText) << "and writes no note";

    database.OnTraceSQL("9 ms |\tselect B from U");
    EXPECT_TRUE(log.isVisible());
    const QStringList shown = lines(log);
    ASSERT_EQ(shown.size(), 4) << qPrintable(log.Text());
    EXPECT_EQ(shown[0], u"");
    EXPECT_EQ(shown[1], u"select B ");
    EXPECT_EQ(shown[2], u"from U");
    EXPECT_TRUE(shown[3].startsWith(u"{dbSQL 0009 ms - "));

    database.Open();
    database.Close();
    EXPECT_FALSE(lines(log).last().contains(u"Disconnected")) << "still no notes after reopening";
}

TEST_F(SqlLogTest, SqlColouring)
{
    QTextDocument document;
    SqlHighlighter highlighter(&document);
    document.setPlainText(
        QStringLiteral("select substr(NAME) from T where A='x{y' and \"from\"=12 // note 3\n"
                       "{dbIBM 0015 ms\n"
                       "- 12:00:00} Update 7"));
    highlighter.rehighlight();
    // The format of the character at `column` of line `line`.
    const auto formatAt = [&](int line, int column) {
        const QTextBlock block = document.findBlockByNumber(line);
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (column >= range.start && column < range.start + range.length)
                return range.format;
        }
        return QTextCharFormat();
    };
    const QString first = document.findBlockByNumber(0).text();
    const auto at = [&](const char* text) {
        return int(first.indexOf(QString::fromLatin1(text)));
    };

    const QTextCharFormat keyword = highlighter.format(SqlHighlighter::Keyword);
    const QTextCharFormat comment = highlighter.format(SqlHighlighter::Comment);
    EXPECT_EQ(comment.foreground().color(), QColor(0, 0, 128));
    EXPECT_TRUE(comment.fontItalic());
    EXPECT_EQ(highlighter.format(SqlHighlighter::Number).foreground().color(), QColor(Qt::red));

    const struct {
        const char* name;
        int line;
        int column;
        SqlHighlighter::Element element;
    } cases[] = {
        {"keyword", 0, at("select"), SqlHighlighter::Keyword},
        {"function", 0, at("substr"), SqlHighlighter::Function},
        {"plain name", 0, at("NAME"), SqlHighlighter::Plain},
        {"brace inside a string", 0, at("{y"), SqlHighlighter::String},
        {"keyword in a quoted name", 0, at("from\""), SqlHighlighter::QuotedName},
        {"number", 0, at("12"), SqlHighlighter::Number},
        {"line comment", 0, at("note"), SqlHighlighter::Comment},
        {"number in a line comment", 0, at("3"), SqlHighlighter::Comment},
        {"note in braces", 1, 3, SqlHighlighter::Comment},
        {"note across lines", 2, 4, SqlHighlighter::Comment},
        {"keyword in any case after the note", 2, 13, SqlHighlighter::Keyword},
        {"number after the note", 2, 19, SqlHighlighter::Number},
    };
    for (const auto& c : cases) {
        ASSERT_GE(c.column, 0) << c.name;
        EXPECT_EQ(formatAt(c.line, c.column), highlighter.format(c.element)) << c.name;
    }
    EXPECT_NE(keyword, comment);
}

TEST_F(SqlLogTest, OpensAtStartUpWhenTheSettingsAskForIt)
{
    QTemporaryDir folder;
    for (const bool traced : {false, true}) {
        QFile settings(folder.filePath(QStringLiteral("lystra.ini")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(traced ? "[System]\nDebugSQL=1\n" : "[System]\nDebugSQL=0\n");
        settings.close();
        TDatabaseManager::Reset();
        TDatabaseManager::SetProgramFile(folder.filePath(QStringLiteral("lystra")));
        TDatabaseManager::SetHostDatabaseName(QStringLiteral("LYSTRA"));
        TDatabaseManager& manager = TDatabaseManager::Manager();
        TdbLoggForm* log = TdbLoggForm::AttachWhenTraced(manager);
        EXPECT_EQ(log != nullptr, traced);
        EXPECT_EQ(TdbLoggForm::Instance() != nullptr && TdbLoggForm::Instance()->isVisible(),
                  traced);
        EXPECT_EQ(bool(manager.Database(dkHost)->OnTraceSQL), traced) << "before the first query";
        TdbLoggForm::FreeInstance();
    }
    TDatabaseManager::Reset();
    TDatabaseManager::SetProgramFile(QString());
}

// ---- start-up error box -------------------------------------------------------

TEST(MessageBoxFailureHandler, ShowsTheMessageAndEndsTheEventLoop)
{
    MessageBoxFailureHandler handler;
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        shown = box.text();
        icon = box.icon();
        ASSERT_NE(box.button(QMessageBox::Ok), nullptr);
        QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
    });
    handler.ShowError(QStringLiteral("Databasserver 10.0.0.7, LYSTRA svarar inte ...\r\nrefused"));
    EXPECT_EQ(shown, u"Databasserver 10.0.0.7, LYSTRA svarar inte ...\r\nrefused");
    EXPECT_EQ(icon, QMessageBox::Critical);

    // The request waits for the event loop and then ends it.
    handler.Terminate();
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, [&] { loop.exit(99); });
    EXPECT_EQ(loop.exec(), 1);
}

} // namespace
} // namespace lystra::test
