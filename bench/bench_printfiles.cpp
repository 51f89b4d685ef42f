// Print file model figures on the 2 000-page demo ledger, read from the
// gateway server started here with its demo data, side by side in one run:
//  1. table analysis next to reading the same pages' plain texts without it
//     (end to end from the server, and on pages already read);
//  2. saving the report as PDF next to `enscript | ps2pdf` on the same text
//     (goal: at least 10 times faster and a smaller file);
//  3. resident memory while saving it (from a fresh print file, pages read
//     from the server on the way).
#include "vidazevivuprocess.h"

#include "db/tcsdatabase.h"
#include "db/tcssocketdriver.h"
#include "platform/formatsettings.h"
#include "printfiles/tprintfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace lystra;
using Clock = std::chrono::steady_clock;

namespace {

const QByteArray kReport = "0000200003";

double secondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    const std::chrono::duration<double> took = Clock::now() - start;
    return took.count();
}

// Best of `rounds` alternating runs of two pieces of work.
std::pair<double, double> best(int rounds, const std::function<void()>& first, const std::function<void()>& second)
{
    double a = 1e9;
    double b = 1e9;
    for (int i = 0; i < rounds; ++i) {
        a = std::min(a, secondsOf(first));
        b = std::min(b, secondsOf(second));
    }
    return {a, b};
}

// A value of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Lets the peak resident size start again from the current one.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

class Bench {
public:
    explicit Bench(const test::VidazevivuProcess& server)
    {
        m_db.SetName(QStringLiteral("BENCH_DB"));
        m_db.SetLoginPrompt(false);
        m_db.SetRemoteGateway(server.host());
        m_db.SetRemoteDatasource(QString::fromLatin1(TPrintFiles::kHostDatabaseName));
        m_db.SocketDriver().SetPort(server.port());
        m_queue = std::make_unique<TPrintFiles>(m_db);
        m_queue->SetUser("ANNA");
    }

    // The report as a new object, no page read yet.
    TPrintFile& freshReport()
    {
        m_queue->SetChanged(true);
        m_queue->Refresh();
        return *m_queue->Item(m_queue->IndexOfId(kReport));
    }

    static qsizetype readTexts(TPrintFile& file)
    {
        qsizetype bytes = 0;
        for (int i = 0; i < file.PageCount(); ++i)
            bytes += file.Page(i).Text().size();
        return bytes;
    }

private:
    TcsDatabase m_db;
    std::unique_ptr<TPrintFiles> m_queue;
};

void tableFigures(Bench& bench)
{
    std::printf("-- table analysis of the %s report\n", kReport.constData());
    int rows = 0;
    qsizetype bytes = 0;
    const auto [analysed, plain] = best(
        2, [&] { rows = bench.freshReport().TableRowCount(); },
        [&] { bytes = Bench::readTexts(bench.freshReport()); });
    std::printf("from the server: analysis %.3f s (%d table rows), page texts %.3f s (%lld bytes): ratio %.2f\n",
                analysed, rows, plain, static_cast<long long>(bytes), analysed / plain);

    TPrintFile& file = bench.freshReport();
    file.TableRowCount();
    const auto [collect, texts] = best(5, [&] { file.CollectTableRows(); }, [&] { bytes = Bench::readTexts(file); });
    std::printf("pages in memory: collecting and classifying %.3f s, page texts %.3f s: ratio %.2f\n", collect,
                texts, collect / texts);
}

bool havePipeline()
{
    return !QStandardPaths::findExecutable(QStringLiteral("enscript")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("ps2pdf")).isEmpty();
}

void pdfFigures(Bench& bench, const QTemporaryDir& folder)
{
    std::printf("-- saving the %s report as PDF\n", kReport.constData());
    TPrintFile& file = bench.freshReport();
    // The same text for enscript: the pages' plain texts, a form feed between them.
    QByteArray text;
    for (int i = 0; i < file.PageCount(); ++i) {
        if (i > 0)
            text += "\n\f";
        text += file.Page(i).Text().replace("\r\n", "\n");
    }
    const QString textFile = folder.filePath(QStringLiteral("report.txt"));
    QFile out(textFile);
    if (!out.open(QIODevice::WriteOnly))
        return;
    out.write(text);
    out.close();

    const QString ours = folder.filePath(QStringLiteral("lystra.pdf"));
    const QString theirs = folder.filePath(QStringLiteral("enscript.pdf"));
    double saving = 1e9;
    for (int i = 0; i < 3; ++i)
        saving = std::min(saving, secondsOf([&] { file.SaveToFile(ours, sfPdf); }));
    std::printf("Lystra, pages in memory: %.3f s, %lld bytes\n", saving,
                static_cast<long long>(QFileInfo(ours).size()));
    if (!havePipeline()) {
        std::printf("enscript | ps2pdf: not installed (tools/install-deps.sh bench)\n");
        return;
    }
    // Landscape, 8-point Courier (132 characters across), 55 lines a page,
    // host code page windows-1252 as Latin-1 (å, ä, ö are the same bytes).
    const QString command = QStringLiteral("enscript -q -B -r -f Courier8 -L 55 -X latin1 -o - '%1' | ps2pdf - '%2'")
                                .arg(textFile, theirs);
    double pipeline = 1e9;
    for (int i = 0; i < 2; ++i) {
        pipeline = std::min(pipeline, secondsOf([&] {
                                QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command});
                            }));
    }
    std::printf("enscript | ps2pdf: %.3f s, %lld bytes\n", pipeline,
                static_cast<long long>(QFileInfo(theirs).size()));
    std::printf("Lystra is %.1f times faster (goal >= 10), file %.2f of the size (goal < 1)\n", pipeline / saving,
                double(QFileInfo(ours).size()) / double(QFileInfo(theirs).size()));
}

void memoryFigures(Bench& bench, const QTemporaryDir& folder)
{
    std::printf("-- resident memory while saving the %s report as PDF\n", kReport.constData());
    TPrintFile& file = bench.freshReport();
    const long before = statusKb("VmRSS:");
    resetPeak();
    const double took = secondsOf([&] { file.SaveToFile(folder.filePath(QStringLiteral("memory.pdf")), sfPdf); });
    const long peak = statusKb("VmHWM:");
    const long after = statusKb("VmRSS:");
    std::printf("before %ld kB, peak while saving %ld kB (+%ld kB), after %ld kB (pages kept with the file); %.3f s "
                "with the pages read from the server\n",
                before, peak, peak - before, after, took);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FormatSettings::setCurrent(FormatSettings::swedish());
    QTemporaryDir folder;
    test::VidazevivuProcess::Options options;
    options.initDemo = true;
    test::VidazevivuProcess server(options);
    Bench bench(server);
    // Memory first, before the other figures have grown the heap.
    memoryFigures(bench, folder);
    tableFigures(bench);
    pdfFigures(bench, folder);
    return 0;
}
