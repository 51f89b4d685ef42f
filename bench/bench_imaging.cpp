// Imaging benchmarks, side by side with their baselines in one run:
//  - the 24-bit resampler on a rendered A4 page (2520 x 3564) shrunk to
//    700 x 990 and 1400 x 1980, against Pillow's Image.resize with the BOX
//    filter on the same page (Debian's python3-pil under /usr/bin/python3);
//  - the compressed stream (LZRW1/KH, zlib level 1 and 9, mixed) compressing
//    and decompressing the page image and a text spool file, against
//    `lz4 -1` on the same files.
#include "imaging/resample.h"
#include "imaging/tcompressorstream.h"
#include "imaging/tcsbitmap.h"
#include "testpage.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lystra;

namespace {

std::vector<double> timesMs(int runs, const std::function<void()>& call)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        call();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Median wall time of a call in milliseconds.
double medianMs(int runs, const std::function<void()>& call)
{
    const std::vector<double> times = timesMs(runs, call);
    return times[times.size() / 2];
}

// Best wall time of a call in milliseconds: on a shared machine the fastest
// run is the one least disturbed by other work.
double bestMs(int runs, const std::function<void()>& call)
{
    return timesMs(runs, call).front();
}

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAll());
}

// Pillow's BOX resize of the page file: the best milliseconds per size.
std::vector<double> pillowBox(const QString& file, const std::vector<QSize>& sizes, int runs)
{
    QString script = QStringLiteral(
        "import sys, time\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]).convert('RGB'); im.load()\n"
        "for size in sys.argv[2:]:\n"
        "    w, h = map(int, size.split('x'))\n"
        "    times = []\n"
        "    for _ in range(%1):\n"
        "        t = time.perf_counter(); im.resize((w, h), Image.BOX); "
        "times.append((time.perf_counter() - t) * 1000)\n"
        "    print(min(times))\n")
                         .arg(runs);
    QStringList arguments{QStringLiteral("-c"), script, file};
    for (const QSize& s : sizes)
        arguments << QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
    const QStringList lines =
        runTool(QStringLiteral("/usr/bin/python3"), arguments).split(u'\n', Qt::SkipEmptyParts);
    std::vector<double> result;
    for (const QString& line : lines)
        result.push_back(line.toDouble());
    result.resize(sizes.size(), 0.0);
    return result;
}

struct Lz4Figures {
    double ratio = 0, compress = 0, decompress = 0;
};

Lz4Figures lz4Fast(const QString& file)
{
    const QString out =
        runTool(QStringLiteral("lz4"), {QStringLiteral("-b1"), QStringLiteral("-i2"), file});
    static const QRegularExpression figures(
        QStringLiteral(R"(\(([\d.]+)\),\s*([\d.]+) MB/s\s*,\s*([\d.]+) MB/s)"));
    Lz4Figures f;
    for (auto it = figures.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        f = {m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble()};
    }
    return f;
}

void resampleFigures(const TcsBitmap& page, const QString& pageFile)
{
    const std::vector<QSize> sizes{{700, 990}, {1400, 1980}};
    constexpr int runs = 15;
    // Pillow runs before and after ours; each side keeps its best run, so
    // that a burst of load on the machine does not decide the ratio.
    std::vector<double> pillow = pillowBox(pageFile, sizes, runs);
    std::vector<double> one(sizes.size()), two(sizes.size());
    bool identical = true;
    for (size_t i = 0; i < sizes.size(); ++i) {
        TcsBitmap target(sizes[i].width(), sizes[i].height(), pf24bit);
        one[i] = bestMs(runs, [&] { resample24(page, target, 1); });
        TcsBitmap split(sizes[i].width(), sizes[i].height(), pf24bit);
        two[i] = bestMs(runs, [&] { resample24(page, split, 2); });
        identical = identical
                    && std::equal(target.bits(), target.bits() + target.imageBytes(), split.bits());
    }
    const std::vector<double> again = pillowBox(pageFile, sizes, runs);
    for (size_t i = 0; i < sizes.size(); ++i)
        pillow[i] = std::min(pillow[i], again[i]);
    std::printf("24-bit resampler, page %dx%d, best of %d runs\n", page.width(), page.height(),
                runs);
    std::printf("  %-10s %12s %12s %14s %10s %10s\n", "size", "1 thread ms", "2 threads ms",
                "Pillow BOX ms", "ratio 1t", "ratio 2t");
    for (size_t i = 0; i < sizes.size(); ++i)
        std::printf("  %4dx%-5d %12.2f %12.2f %14.2f %9.2fx %9.2fx\n", sizes[i].width(),
                    sizes[i].height(), one[i], two[i], pillow[i], pillow[i] / one[i],
                    pillow[i] / two[i]);
    std::printf("  (ratio = Pillow time / our time; goal >= 2)%s\n",
                identical ? "" : "  ONE AND TWO THREADS DIFFER");
}

void compressionFigures(const QString& name, const QString& file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    const QByteArray data = f.readAll();
    const double megabytes = data.size() / 1e6;
    std::printf("%s, %.1f MB: MB/s of uncompressed data, median of 5 runs\n", qPrintable(name),
                megabytes);
    std::printf("  %-12s %8s %12s %14s\n", "method", "ratio", "compress", "decompress");
    const struct {
        const char* name;
        TCompressionLevel level;
    } methods[] = {{"LZRW1/KH", cmLZRW1KH}, {"zlib fast", cmZLIBfast}, {"zlib max", cmZLIBmax},
                   {"mixed", cmMix}};
    for (const auto& m : methods) {
        QByteArray packed;
        const double pack = medianMs(5, [&] {
            TMemoryStream target;
            TCompressorStream stream(target);
            stream.setActive(true);
            stream.setMethod(m.level);
            stream.setSize(data.size());
            stream.writeBuffer(data.constData(), data.size());
            packed = target.data();
        });
        QByteArray back(data.size(), '\0');
        const double unpack = medianMs(5, [&] {
            TMemoryStream source(packed);
            TCompressorStream stream(source);
            stream.setActive(true);
            stream.size();
            stream.readBuffer(back.data(), back.size());
        });
        if (back != data)
            std::printf("  %s: ROUND TRIP FAILED\n", m.name);
        std::printf("  %-12s %8.2f %12.1f %14.1f\n", m.name, double(data.size()) / packed.size(),
                    megabytes / (pack / 1000), megabytes / (unpack / 1000));
    }
    const Lz4Figures lz4 = lz4Fast(file);
    std::printf("  %-12s %8.2f %12.1f %14.1f\n", "lz4 -1", lz4.ratio, lz4.compress,
                lz4.decompress);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;

    const QImage image = lystra::testing::renderReportPage();
    const QString pageFile = dir.filePath(QStringLiteral("page.bmp"));
    image.save(pageFile, "BMP");
    TcsBitmap page;
    page.assignGraphic(image, 300);

    const QString spoolFile = dir.filePath(QStringLiteral("report.spl"));
    QFile spool(spoolFile);
    spool.open(QIODevice::WriteOnly);
    spool.write(lystra::testing::reportSpoolText(1000));
    spool.close();

    resampleFigures(page, pageFile);
    std::printf("\n");
    compressionFigures(QStringLiteral("Page image (BMP)"), pageFile);
    std::printf("\n");
    compressionFigures(QStringLiteral("Text spool file"), spoolFile);
    return 0;
}
