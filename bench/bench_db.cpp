// Database layer figures, side by side in one run, against vidazevivu with
// the demo data on a free loopback port:
//  1. rows per second of a TcsQuery opened on 100 000 page rows and walked
//     to the end, reading every field of every row in its type, beside the bare
//     TODBCClient fetching the same rows and touching every value
//     (goal: the dataset layer costs at most 1.5 times the bare client);
//  2. resident memory growth of a TcsQuery with eoCacheToDisk that fetches
//     1 000 000 page rows (goal: under 20 MB), with the growth of the same
//     query caching 100 000 rows in memory for reference.
//
//   bench_db [rounds]     (default 5 rounds of each fetch; the best counts)
#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tcssocketdriver.h"
#include "db/tfield.h"
#include "odbc/todbcclient.h"
#include "platform/exception.h"
#include "vidazevivuprocess.h"

#include <QCoreApplication>
#include <QFile>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace lystra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 100000;
constexpr int kDiskRows = 1000000;
const QByteArray kFetchStatement = "select FID, FPAGE, FLINE, FCTL, FROW from BENCH100K";
const QByteArray kDiskStatement = "select FID, FPAGE, FLINE, FCTL, FROW from BENCH1M";

volatile qint64 g_sink = 0;

// Resident set size in bytes (Linux /proc).
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : -1;
}

// The benchmark tables: ANNA's page rows repeated up to the row counts.
void createTables(const lystra::test::VidazevivuProcess& server)
{
    TODBCClient client(server.host(), 30000, server.port());
    client.OpenDatabase("LYSTRA", "", "");
    client.ExecuteCommand(
        "create table BENCH100K as select FID, FPAGE, FLINE, FCTL, FROW from ANNA "
        "union all select FID, FPAGE, FLINE, FCTL, FROW from ANNA limit 100000");
    client.ExecuteCommand(
        "create table BENCH1M as with recursive N(I) as (select 0 union all select I + 1 "
        "from N where I < 11) select A.FID, A.FPAGE, A.FLINE, A.FCTL, A.FROW "
        "from ANNA A, N limit 1000000");
}

// The bare client: the rows of the statement, every value touched.
int fetchBare(const lystra::test::VidazevivuProcess& server, const QByteArray& statement)
{
    TODBCClient client(server.host(), 30000, server.port());
    client.OpenDatabase("LYSTRA", "", "");
    client.ExecuteQuery(statement);
    int rows = 0;
    qint64 bytes = 0;
    while (!client.EndOfData()) {
        for (const QByteArray& value : client.RowValues())
            bytes += value.size();
        ++rows;
        client.NextRow();
    }
    g_sink = g_sink + bytes;
    return rows;
}

// The dataset: opened, walked with Next to the end, every field read as a
// caller reads it.
int fetchDataset(const QString& databaseName, const QByteArray& statement,
                 TcsExecuteOptions options)
{
    TcsQuery query;
    query.SetDataBaseName(databaseName);
    query.SetSQLText(statement);
    query.SetExecuteOptions(options);
    query.Open();
    // Each field read in its own type, as the page reader reads them.
    QList<TField*> texts;
    QList<TField*> numbers;
    for (int i = 0; i < query.FieldCount(); ++i) {
        TField& field = query.Fields(i);
        (isStringType(field.DataType()) ? texts : numbers).append(&field);
    }
    qint64 bytes = 0;
    int rows = 0;
    while (!query.Eof()) {
        for (TField* field : std::as_const(texts))
            bytes += field->AsString().size();
        for (TField* field : std::as_const(numbers))
            bytes += field->AsInteger();
        ++rows;
        query.Next();
    }
    g_sink = g_sink + bytes;
    return rows;
}

// The highest growth of the resident set while a dataset with `options`
// walks the rows of `statement` to the end and back to the first; -1 when
// the row count is not `expectedRows`.
qint64 cachedGrowth(const QString& databaseName, const QByteArray& statement,
                    TcsExecuteOptions options, int expectedRows)
{
    malloc_trim(0); // what earlier work freed does not count as resident
    const qint64 before = residentBytes();
    qint64 peak = before;
    TcsQuery query;
    query.SetDataBaseName(databaseName);
    query.SetSQLText(statement);
    query.SetExecuteOptions(options);
    query.Open();
    int rows = 0;
    while (!query.Eof()) {
        ++rows;
        if (rows % 20000 == 0)
            peak = std::max(peak, residentBytes());
        query.Next();
    }
    peak = std::max(peak, residentBytes());
    // Walking back reads the first record from the cache again.
    query.First();
    g_sink = g_sink + query.Fields(query.FieldCount() - 1).AsString().size();
    if (rows != expectedRows) {
        std::fprintf(stderr, "cached rows: %d, expected %d\n", rows, expectedRows);
        return -1;
    }
    return peak - before;
}

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds this process used so far (user and system).
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    try {
        lystra::test::VidazevivuProcess::Options options;
        options.initDemo = true;
        lystra::test::VidazevivuProcess server(options);
        createTables(server);

        TcsDatabase database;
        database.SetName(QStringLiteral("BENCH_DB"));
        database.SetLoginPrompt(false);
        database.SetRemoteGateway(server.host());
        database.SetRemoteDatasource(QStringLiteral("LYSTRA"));
        database.SocketDriver().SetPort(server.port());
        database.Open();

        // Memory first, while the heap holds nothing of earlier fetches: growth
        // of the resident set while the rows are cached.
        // The disk-cached run goes first, so that no heap freed by the other
        // run hides its growth.
        const qint64 diskGrowth =
            cachedGrowth(database.DataBaseName(), kDiskStatement, {eoCacheToDisk}, kDiskRows);
        const qint64 memoryGrowth =
            cachedGrowth(database.DataBaseName(), kFetchStatement, {}, kRows);
        if (memoryGrowth < 0 || diskGrowth < 0)
            return 1;
        const double mb = 1024.0 * 1024.0;
        std::printf("resident memory growth while the rows are cached\n");
        std::printf("  in memory, %7d rows   %8.1f MB  (reference)\n", kRows, memoryGrowth / mb);
        std::printf("  eoCacheToDisk, %7d rows %6.1f MB  (goal < 20 MB)\n", kDiskRows,
                    diskGrowth / mb);

        // Rounds alternate, so both see the same load; the best counts. The
        // wall time includes the server's work; the CPU time of this process
        // is the client side alone.
        double bestBare = 1e9;
        double bestDataset = 1e9;
        double bestBareCpu = 1e9;
        double bestDatasetCpu = 1e9;
        double bestDisk = 1e9;
        double bestDiskCpu = 1e9;
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            double cpu = cpuSeconds();
            const int bareRows = fetchBare(server, kFetchStatement);
            bestBare = std::min(bestBare, seconds(start));
            bestBareCpu = std::min(bestBareCpu, cpuSeconds() - cpu);
            start = Clock::now();
            cpu = cpuSeconds();
            const int datasetRows = fetchDataset(database.DataBaseName(), kFetchStatement, {});
            bestDataset = std::min(bestDataset, seconds(start));
            bestDatasetCpu = std::min(bestDatasetCpu, cpuSeconds() - cpu);
            start = Clock::now();
            cpu = cpuSeconds();
            const int diskRows =
                fetchDataset(database.DataBaseName(), kFetchStatement, {eoCacheToDisk});
            bestDisk = std::min(bestDisk, seconds(start));
            bestDiskCpu = std::min(bestDiskCpu, cpuSeconds() - cpu);
            if (bareRows != kRows || datasetRows != kRows || diskRows != kRows) {
                std::fprintf(
                    stderr, "row counts differ: bare %d, dataset %d, disk-cached %d, expected %d\n",
                    bareRows, datasetRows, diskRows, kRows);
                return 1;
            }
        }
        std::printf("fetch %d page rows (best of %d rounds)\n", kRows, rounds);
        std::printf("                     wall rows/s   wall s   client CPU s\n");
        std::printf("  bare TODBCClient   %11.0f  %7.3f  %7.3f\n", kRows / bestBare, bestBare,
                    bestBareCpu);
        std::printf("  TcsQuery           %11.0f  %7.3f  %7.3f\n", kRows / bestDataset, bestDataset,
                    bestDatasetCpu);
        std::printf("  TcsQuery to disk   %11.0f  %7.3f  %7.3f  (eoCacheToDisk, for reference)\n",
                    kRows / bestDisk, bestDisk, bestDiskCpu);
        std::printf("  ratio dataset/bare %11.2f x (goal <= 1.50); client CPU %.2f x\n",
                    bestDataset / bestBare, bestDatasetCpu / bestBareCpu);

    } catch (const Exception& error) {
        std::fprintf(stderr, "bench_db: %s\n", error.what());
        return 1;
    }
    return 0;
}
