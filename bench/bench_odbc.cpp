// Gateway client figures, side by side in one run:
//  1. row splitting: rows per second split from a "get 200" block of
//     CATALOG-like rows, beside a plain scan of the same bytes for NUL and
//     "," (goal: splitting costs at most 3 times the scan);
//  2. end to end: rows per second a client fetches through loopback from a
//     scripted server answering "get 200" with such blocks.
#include "odbc/odbcprotocol.h"
#include "odbc/todbcclient.h"
#include "scriptedserver.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace lystra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRowsPerBlock = 200;

// 15 values as CATALOG rows carry them: numbers unquoted, texts quoted when
// they hold blanks or commas, short codes bare.
QByteArray catalogRow(int i)
{
    return QByteArray::number(100000 + i) + ',' + QByteArray::number(20240101 + i % 28) + ',' +
           QByteArray::number(80000 + i * 7 % 90000) + ",66,132,\"" + QByteArray::number(1 + i % 40) +
           "\",10,6,N,SPL,*STD,\"FAKTURA " + QByteArray::number(i) +
           "\",QPRINT,\"Faktura till kund " + QByteArray::number(i * 13) +
           ", Sundsvall\",QSECOFR";
}

QByteArray catalogBlock()
{
    QByteArray block;
    for (int i = 0; i < kRowsPerBlock; ++i)
        block += catalogRow(i) + '\0';
    return block;
}

// Best time per call of each piece of work, over many short rounds that
// alternate between them: both see the same machine load, and the best
// rounds are the ones no other process interrupted.
std::pair<double, double> bestSeconds(int calls, const std::function<void()>& first,
                                      const std::function<void()>& second)
{
    auto timed = [calls](const std::function<void()>& work) {
        const auto start = Clock::now();
        for (int i = 0; i < calls; ++i)
            work();
        const std::chrono::duration<double> took = Clock::now() - start;
        return took.count() / calls;
    };
    double best1 = 1e9;
    double best2 = 1e9;
    for (int round = 0; round < 400; ++round) {
        best1 = std::min(best1, timed(first));
        best2 = std::min(best2, timed(second));
    }
    return {best1, best2};
}

volatile std::size_t g_sink = 0;

void benchSplitting()
{
    const QByteArray block = catalogBlock();
    auto scanBlock = [&] {
        std::size_t rows = 0;
        std::size_t commas = 0;
        for (const char c : block) {
            if (c == '\0')
                ++rows;
            else if (c == ',')
                ++commas;
        }
        g_sink = g_sink + rows + commas;
    };
    QList<QByteArray> values;
    auto splitBlock = [&] {
        qsizetype pos = 0;
        while (pos < block.size()) {
            const odbc::RowParse row = odbc::splitNextRow(block, pos, values);
            g_sink = g_sink + static_cast<std::size_t>(values.size());
            pos = row.next;
        }
    };
    const auto [scan, split] = bestSeconds(50, scanBlock, splitBlock);
    std::printf("row splitting, block of %d rows x 15 values (%lld bytes)\n", kRowsPerBlock,
                static_cast<long long>(block.size()));
    std::printf("  plain scan for NUL and ','  %8.2f us/block  %12.0f rows/s\n", scan * 1e6,
                kRowsPerBlock / scan);
    std::printf("  split into values           %8.2f us/block  %12.0f rows/s\n", split * 1e6,
                kRowsPerBlock / split);
    std::printf("  ratio split / scan          %8.2f   (goal <= 3)\n", split / scan);
}

void benchEndToEnd()
{
    constexpr int kBlocks = 1000;
    const QByteArray document =
        "200 <fielddefs><field><name>FID</name><size>4</size><datatype>int32</datatype></field>"
        "</fielddefs>\r\n";
    const QByteArray answer = "200 OK\r\n" + test::ScriptedServer::block(catalogBlock());
    test::Script script;
    script.send("200 VIDAZEVIVU 1.8\r\n").expect("sql select * from CATALOG").send(document);
    for (int i = 0; i < kBlocks; ++i)
        script.expect("get 200").send(answer);
    script.expect("get 200").send("522 No more rows\r\n");
    test::ScriptedServer server({script});

    qint64 rows = 0;
    const auto start = Clock::now();
    {
        TODBCClient client(test::ScriptedServer::host(), 5000, server.port());
        client.ExecuteQuery("select * from CATALOG");
        while (!client.EndOfData()) {
            rows += client.RowValues().size() == 15 ? 1 : 0;
            client.NextRow();
        }
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    const QStringList problems = server.finish();
    std::printf("end to end through loopback, \"get 200\" blocks\n");
    std::printf("  %lld rows in %.3f s        %12.0f rows/s%s\n", static_cast<long long>(rows),
                took.count(), rows / took.count(),
                problems.isEmpty() && rows == kBlocks * kRowsPerBlock ? "" : "  (EXCHANGE FAILED)");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchSplitting();
    benchEndToEnd();
    return 0;
}
