#include "fakestore.h"
#include "platform/clipboard.h"
#include "platform/exception.h"
#include "printfiles/pdfdocument.h"
#include "printfiles/tprintfile.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lystra;
using namespace lystra::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Runs a poppler tool and gives its standard output (UTF-8).
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfoField(const QString& info, const QString& field)
{
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                QRegularExpression::MultilineOption);
    return re.match(info).captured(1).trimmed();
}

struct Word {
    QString text;
    double xMin, yMin, xMax, yMax;
};

// The words of every page as pdftotext -bbox places them.
QList<QList<Word>> pdfWords(const QString& pdf)
{
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QList<QList<Word>> pages;
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0) == QStringLiteral("<page ")) {
            pages.append(QList<Word>());
            continue;
        }
        if (!pages.isEmpty())
            pages.last().append({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                                 m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return pages;
}

class Saving : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeStore store;

    QString path(const char* name) const { return dir.filePath(QLatin1StringView(name)); }
};

} // namespace

TEST_F(Saving, SpoolFileHoldsEveryRowWithItsControlCode)
{
    auto file = store.makeFile("1", {{{"", "a"}, {"0", "b  "}, {"+", "c"}}, {{"1", "d \xe5"}}});
    int progress = 0;
    file->OnProgress = [&progress](TPrintFile&) {
        ++progress;
    };
    file->SaveToFile(path("a.spl"), sfSpool);
    EXPECT_EQ(readFile(path("a.spl")), QByteArray(" a\r\n0b  \r\n+c\r\n1d \xe5\r\n"));
    EXPECT_EQ(progress, 2);
}

TEST_F(Saving, TextFileLaysRowsOnTheirLinesWithNumbersNormalised)
{
    auto file = store.makeFile(
        "1", {{{"", "Rubrik"}, {"", "Summa 1.234,50"}, {"+", "______"}, {"0", "R\xe4kna  "}},
              {{"-", "sidan 2"}, {"", "12.5"}},
              {{"", "sidan 3"}}});
    file->SaveToFile(path("a.txt"), sfText);
    // Page 2 starts on line 3; page 3 on line 1 still starts a line of its own.
    // The underline printed over the sum is left out.
    const QByteArray expected = "Rubrik\r\nSumma  1234,50\r\n\r\nR\xe4kna  "
                                "\r\n"
                                "\r\n\r\nsidan 2\r\n12,5"
                                "\r\n"
                                "sidan 3";
    EXPECT_EQ(readFile(path("a.txt")), expected);

    int progress = 0;
    file->OnProgress = [&progress](TPrintFile&) {
        ++progress;
    };
    file->CopyToClipboard();
    EXPECT_EQ(progress, 3);
    EXPECT_EQ(Clipboard::current().text(), QString::fromLatin1(expected));
}

TEST_F(Saving, ReplacesAnExistingFileAndRefusesAMissingFolder)
{
    auto file = store.makeFile("1", {plain({"ny"})});
    QFile old(path("a.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("a much longer old content");
    old.close();
    file->SaveToFile(path("a.txt"), sfText);
    EXPECT_EQ(readFile(path("a.txt")), "ny");

    store.statements.clear();
    auto other = store.makeFile("2", {plain({"x"})});
    EXPECT_THROW(other->SaveToFile(path("saknas/a.txt"), sfText), Exception);
    EXPECT_FALSE(QFile::exists(path("saknas/a.txt")));
    EXPECT_TRUE(store.statements.isEmpty()); // failed before any page was read
}

TEST_F(Saving, PdfHasOneA4PagePerPageAndTheDocumentInformation)
{
    auto file = store.makeFile("4711",
                               {{{"", "Rad 1"},
                                 {"", "Rad 2"},
                                 {"0", "Rad 4"},
                                 {"", "   Indrag"},
                                 {"", "R\xe4kna \xe5\xe4\xf6 \xc5\xc4\xd6"}},
                                plain({"Sida 2"})},
                               {{"FTXT", "Fakturor \xe5\xe4\xf6"}, {"FWIDTH", "80"}});
    int progress = 0;
    file->OnProgress = [&progress](TPrintFile&) {
        ++progress;
    };
    file->SaveToFile(path("a.pdf"), sfPdf);
    EXPECT_EQ(progress, 2);

    const QString info =
        run(QStringLiteral("pdfinfo"), {QStringLiteral("-isodates"), path("a.pdf")});
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Pages")), QStringLiteral("2"));
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Page size")),
              QStringLiteral("595 x 842 pts (A4)"));
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Author")), QStringLiteral("ANNA"));
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Subject")), QStringLiteral("Fakturor åäö"));
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Title")),
              QStringLiteral("QPRINT-FAKTJOB-2008-03-12 09:30:00-4711"));
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Keywords")),
              QStringLiteral("Fakturor åäö;FAKTJOB;QPRINT;ANNA"));
    EXPECT_TRUE(
        pdfInfoField(info, QStringLiteral("Creator")).startsWith(QStringLiteral("Lystra ")));
    EXPECT_TRUE(pdfInfoField(info, QStringLiteral("CreationDate"))
                    .startsWith(QStringLiteral("2008-03-12T09:30:00")))
        << pdfInfoField(info, QStringLiteral("CreationDate")).toStdString();

    const auto pages = pdfWords(path("a.pdf"));
    ASSERT_EQ(pages.size(), 2);
    const QList<Word>& words = pages[0];
    ASSERT_EQ(words.size(), 10);
    // Line 1 at the 14-unit margin plus one pitch; 66 lines at 6 per inch give a pitch of 12.
    const double top = words[0].yMin;
    const struct {
        int word;
        const char* text;
        int line;
        double x;
    } placed[] = {{0, "Rad", 1, 14},           {2, "Rad", 2, 14},
                  {4, "Rad", 4, 14},           {6, "Indrag", 5, 14 + 3 * 6.6},
                  {7, "Räkna", 6, 14},         {8, "åäö", 6, 14 + 6 * 6.6},
                  {9, "ÅÄÖ", 6, 14 + 10 * 6.6}};
    for (const auto& p : placed) {
        EXPECT_EQ(words[p.word].text, QString::fromUtf8(p.text));
        EXPECT_NEAR(words[p.word].xMin, p.x, 0.01) << p.text;
        EXPECT_NEAR(words[p.word].yMin - top, 12.0 * (p.line - 1), 0.01) << p.text;
    }
    EXPECT_NEAR(top, 14 + 12, 2.0); // the text of line 1 hangs from y = margin + pitch
    EXPECT_EQ(pages[1].first().text, QStringLiteral("Sida"));
}

TEST_F(Saving, PdfFontSizeAndPitchFitThePage)
{
    struct Case {
        const char* name;
        QByteArray height, width;
        int screenPpi;
        QString pageSize;
        double size, pitch;
    };
    const QString portrait = QStringLiteral("595 x 842 pts (A4)");
    const QString landscape = QStringLiteral("842 x 595 pts (A4)");
    const Case cases[] = {
        {"66 lines at 96 ppi: 10.5 points rounded up", "66", "80", 96, portrait, 11, 12},
        {"at 120 ppi", "66", "80", 120, portrait, 8, 12},
        {"80 lines step the pitch down, the font with it", "80", "80", 96, portrait, 8, 10},
        {"132 characters on a portrait page", "66", "132", 96, portrait, 7, 12},
        {"40 lines are landscape", "40", "132", 96, landscape, 10, 12},
        {"more lines than points: smallest pitch", "2000", "10", 96, portrait, 1, 1},
        {"nothing to fit", "0", "0", 0, landscape, 11, 12},
    };
    for (const Case& c : cases) {
        auto file = store.makeFile(c.name, {plain({"WWWWWWWWWW", "WWWWWWWWWW"})},
                                   {{"FHGHT", c.height}, {"FWIDTH", c.width}});
        const QString pdf = path("fit.pdf");
        file->SaveToFile(pdf, sfPdf, c.screenPpi);
        const QString info = run(QStringLiteral("pdfinfo"), {pdf});
        EXPECT_EQ(pdfInfoField(info, QStringLiteral("Page size")), c.pageSize) << c.name;
        const auto pages = pdfWords(pdf);
        ASSERT_EQ(pages.size(), 1) << c.name;
        ASSERT_EQ(pages[0].size(), 2) << c.name;
        // Courier advances 0.6 of the font size per character.
        EXPECT_NEAR((pages[0][0].xMax - pages[0][0].xMin) / 6.0, c.size, 0.01) << c.name;
        EXPECT_NEAR(pages[0][1].yMin - pages[0][0].yMin, c.pitch, 0.01) << c.name;
    }
}

TEST_F(Saving, PdfEmbedsCourierNewWhenTheMachineHasIt)
{
    const QString stand =
        QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf");
    if (!QFile::exists(stand))
        GTEST_SKIP() << "no TrueType monospaced font to stand in for Courier New";
    const QString previous = PdfDocument::fontFile(QStringLiteral("Courier New"));
    PdfDocument::registerFontFile(QStringLiteral("Courier New"), stand);
    auto file = store.makeFile("1", {plain({"R\xe4kna \xe5\xe4\xf6"})});
    file->SaveToFile(path("ttf.pdf"), sfPdf);
    PdfDocument::registerFontFile(QStringLiteral("Courier New"), previous);

    const QString fonts = run(QStringLiteral("pdffonts"), {path("ttf.pdf")});
    EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationMono"))) << fonts.toStdString();
    const auto pages = pdfWords(path("ttf.pdf"));
    ASSERT_EQ(pages.size(), 1);
    ASSERT_EQ(pages[0].size(), 2);
    EXPECT_EQ(pages[0][1].text, QStringLiteral("åäö"));
}

TEST_F(Saving, PdfOfAFileWithoutPagesIsStillADocument)
{
    auto file = store.makeFile("1", {});
    file->SaveToFile(path("empty.pdf"), sfPdf);
    const QString info = run(QStringLiteral("pdfinfo"), {path("empty.pdf")});
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Pages")), QStringLiteral("1"));
}

TEST_F(Saving, PdfFailingPageLeavesTheDocumentOfThePagesBefore)
{
    auto file = store.makeFile("1", {plain({"ett"}), plain({"tv\xe5"})});
    file->Page(0);
    store.failSelects = 1;
    EXPECT_THROW(file->SaveToFile(path("half.pdf"), sfPdf), Exception);
    const QString info = run(QStringLiteral("pdfinfo"), {path("half.pdf")});
    EXPECT_EQ(pdfInfoField(info, QStringLiteral("Pages")), QStringLiteral("1"));
}
