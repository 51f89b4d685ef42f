// Gateway server under load, side by side with the same work in-process:
//  1. 200 connections, each repeating the queue's listing SELECT for its user
//     against the demo data (as the desktop program sends it: query, rows,
//     "clear"), for BENCH_SECONDS (default 20) seconds: queries per second
//     and the 50th/99th percentile latency;
//  2. the same SELECT run in-process on the same SQLite file by one thread
//     per core: the server's overhead ratio;
//     then the 200 connections paced at one query every 100 ms each, each
//     client at a random phase of its own (2 000 queries per second offered,
//     arriving independently): the response time below saturation;
//  3. resident memory of the server per open connection, and 500 idle
//     connections held (each answers afterwards).
// Goal: p99 under 50 ms and no error at 200 connections; 500 idle held.
//
//   bench_server [seconds]     (or BENCH_SECONDS=N)

#include "odbc/todbcclient.h"
#include "server/demoreports.h"

#include "platform/exception.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace lystra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLoadConnections = 200;
constexpr int kIdleConnections = 500;

QByteArray listingSql(const QString& user)
{
    return "select * from CATALOG where UPPER(\"USER\")='" + user.toLatin1() + "' order by FDATE desc, FTIME desc";
}

QString userOf(int i)
{
    const QList<QString> users = demo::demoUsers();
    return users[i % users.size()];
}

// The server as a child process on a free loopback port.
class ServerProcess {
public:
    explicit ServerProcess(const QString& dataDir) : m_log(m_dir.filePath(QStringLiteral("server.log")))
    {
        m_process.setStandardErrorFile(m_log);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(LYSTRA_VIDAZEVIVU_PATH),
                        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"), dataDir,
                         QStringLiteral("--max-connections"), QStringLiteral("1000")});
        if (!m_process.waitForStarted(30000))
            throw Exception(QStringLiteral("cannot start vidazevivu"));
        static const QRegularExpression listening(QStringLiteral("listening on [^ ]*:(\\d+)"));
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && m_port == 0) {
            QFile file(m_log);
            file.open(QIODevice::ReadOnly);
            const auto match = listening.match(QString::fromUtf8(file.readAll()));
            if (match.hasMatch())
                m_port = quint16(match.captured(1).toUInt());
            else
                QThread::msleep(20);
        }
        if (m_port == 0)
            throw Exception(QStringLiteral("vidazevivu did not start listening"));
    }
    ~ServerProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(15000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    quint16 port() const { return m_port; }

    // Resident memory in KiB.
    long residentKib() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
        return -1;
    }

private:
    QTemporaryDir m_dir;
    QString m_log;
    QProcess m_process;
    quint16 m_port = 0;
};

struct Percentiles {
    double p50 = 0;
    double p99 = 0;
};

Percentiles percentiles(std::vector<float>& ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) { return double(ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]); };
    return {at(0.50), at(0.99)};
}

// Waits until the server's resident memory stops changing (threads settle).
long settledResident(const ServerProcess& server)
{
    long last = server.residentKib();
    for (int i = 0; i < 20; ++i) {
        QThread::msleep(100);
        const long now = server.residentKib();
        if (now == last)
            break;
        last = now;
    }
    return last;
}

struct LoadResult {
    long queries = 0;
    long errors = 0;
    double seconds = 0;
    Percentiles latency;
    long rssOpenKib = 0;
    QString firstError;
};

// Every connection repeats the SELECT back to back (`intervalMs` 0), or
// starts one every `intervalMs` milliseconds (a paced load below saturation:
// its latency is the server's response time rather than the queue length).
LoadResult runLoad(const ServerProcess& server, int seconds, int intervalMs = 0)
{
    LoadResult result;
    std::vector<std::vector<float>> latencies(kLoadConnections);
    std::atomic<long> errors{0};
    std::atomic<long> connected{0};
    std::mutex errorMutex;
    std::barrier ready(kLoadConnections + 1);
    std::barrier go(kLoadConnections + 1);
    std::atomic<bool> stop{false};
    const quint16 port = server.port();

    std::vector<std::thread> threads;
    for (int i = 0; i < kLoadConnections; ++i) {
        threads.emplace_back([&, i] {
            std::unique_ptr<TODBCClient> client;
            const QString user = userOf(i);
            const QByteArray sql = listingSql(user);
            try {
                client = std::make_unique<TODBCClient>(QStringLiteral("127.0.0.1"), 10000, port);
                client->OpenDatabase("LYSTRA", user.toLatin1(), "x");
                ++connected;
            } catch (const std::exception& error) {
                ++errors;
                const std::lock_guard lock(errorMutex);
                if (result.firstError.isEmpty())
                    result.firstError = QString::fromUtf8(error.what());
            }
            ready.arrive_and_wait();
            go.arrive_and_wait();
            if (!client)
                return;
            std::vector<float>& mine = latencies[size_t(i)];
            mine.reserve(20000);
            // Paced clients start at a random point of the interval each (a
            // fixed seed per client: the same phases on every run), so that
            // their queries arrive independently rather than in step.
            std::mt19937 random(std::uint32_t(1000 + i));
            std::uniform_int_distribution<long> phase(0, std::max(0L, intervalMs * 1000L - 1));
            auto next = Clock::now() + std::chrono::microseconds(intervalMs > 0 ? phase(random) : 0);
            while (!stop.load(std::memory_order_relaxed)) {
                if (intervalMs > 0) {
                    std::this_thread::sleep_until(next);
                    next += std::chrono::milliseconds(intervalMs);
                }
                const auto start = Clock::now();
                try {
                    client->ExecuteQuery(sql);
                    int rows = 0;
                    while (!client->EndOfData()) {
                        ++rows;
                        client->NextRow();
                    }
                    client->ClearCursor();
                    if (rows == 0)
                        throw Exception(QStringLiteral("no rows for ") + user);
                } catch (const std::exception& error) {
                    ++errors;
                    const std::lock_guard lock(errorMutex);
                    if (result.firstError.isEmpty())
                        result.firstError = QString::fromUtf8(error.what());
                    continue;
                }
                mine.push_back(std::chrono::duration<float, std::milli>(Clock::now() - start).count());
            }
        });
    }
    ready.arrive_and_wait();
    // Every connection is open and idle now: the server's memory for them.
    result.rssOpenKib = settledResident(server);
    const auto start = Clock::now();
    go.arrive_and_wait();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<float> all;
    for (auto& mine : latencies) {
        result.queries += long(mine.size());
        all.insert(all.end(), mine.begin(), mine.end());
    }
    result.errors = errors;
    result.latency = percentiles(all);
    if (connected != kLoadConnections && result.firstError.isEmpty())
        result.firstError = QStringLiteral("not every client connected");
    return result;
}

// The same SELECT without a server: one thread per core, each with its own
// connection to the same file, reading every value as text.
LoadResult runInProcess(const QString& file, int threadsCount, int seconds)
{
    LoadResult result;
    std::vector<std::vector<float>> latencies(static_cast<size_t>(threadsCount));
    std::atomic<bool> stop{false};
    std::atomic<long> errors{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int t = 0; t < threadsCount; ++t) {
        threads.emplace_back([&, t] {
            const QString name = QStringLiteral("inprocess-%1").arg(t);
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(file);
                if (!db.open()) {
                    ++errors;
                    return;
                }
                int i = t;
                while (!stop.load(std::memory_order_relaxed)) {
                    const QString sql = QString::fromLatin1(listingSql(userOf(i++)));
                    const auto begin = Clock::now();
                    QSqlQuery query(db);
                    query.setForwardOnly(true);
                    if (!query.exec(sql)) {
                        ++errors;
                        continue;
                    }
                    qsizetype bytes = 0;
                    const int columns = query.record().count();
                    while (query.next()) {
                        for (int c = 0; c < columns; ++c)
                            bytes += query.value(c).toString().size();
                    }
                    if (bytes == 0)
                        ++errors;
                    latencies[size_t(t)].push_back(
                        std::chrono::duration<float, std::milli>(Clock::now() - begin).count());
                }
            }
            QSqlDatabase::removeDatabase(name);
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<float> all;
    for (auto& mine : latencies) {
        result.queries += long(mine.size());
        all.insert(all.end(), mine.begin(), mine.end());
    }
    result.errors = errors;
    result.latency = percentiles(all);
    return result;
}

// A plain socket that has read its greeting and opened the database.
int idleConnection(quint16 port, QByteArray& greeting)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const auto readLine = [fd]() {
        QByteArray line;
        char c = 0;
        while (::recv(fd, &c, 1, 0) == 1) {
            line += c;
            if (c == '\n')
                break;
        }
        return line;
    };
    greeting = readLine();
    static const char open[] = "open LYSTRA ANNA x\r\n";
    ::send(fd, open, sizeof open - 1, MSG_NOSIGNAL);
    if (!readLine().startsWith("200"))
        greeting = "open refused";
    return fd;
}

bool answers(int fd)
{
    static const char clear[] = "clear\r\n";
    if (::send(fd, clear, sizeof clear - 1, MSG_NOSIGNAL) != sizeof clear - 1)
        return false;
    char reply[8] = {};
    size_t got = 0;
    while (got < sizeof reply) {
        const ssize_t n = ::recv(fd, reply + got, sizeof reply - got, 0);
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return QByteArray(reply, 8) == "200 OK\r\n";
}

void raiseFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    raiseFileLimit();
    int seconds = qEnvironmentVariableIntValue("BENCH_SECONDS");
    if (argc > 1)
        seconds = QByteArray(argv[1]).toInt();
    if (seconds <= 0)
        seconds = 20;
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));

    try {
        QTemporaryDir data;
        QProcess init;
        init.setProcessChannelMode(QProcess::MergedChannels);
        init.start(QStringLiteral(LYSTRA_VIDAZEVIVU_PATH),
                   {QStringLiteral("--init-demo"), QStringLiteral("--data"), data.path()});
        if (!init.waitForFinished(300000) || init.exitCode() != 0)
            throw Exception(QStringLiteral("vidazevivu --init-demo failed: ") + QString::fromUtf8(init.readAll()));
        const QString file = QDir(data.path()).filePath(QStringLiteral("LYSTRA.sqlite"));

        ServerProcess server(data.path());
        const long baseKib = settledResident(server);

        std::printf("vidazevivu load: %d connections x listing SELECT for its user, %d s (%d cores)\n",
                    kLoadConnections, seconds, cores);
        const LoadResult load = runLoad(server, seconds);
        const LoadResult local = runInProcess(file, cores, std::max(3, seconds / 4));
        constexpr int kIntervalMs = 100;
        const LoadResult paced = runLoad(server, std::max(3, seconds / 2), kIntervalMs);
        const double serverQps = double(load.queries) / load.seconds;
        const double localQps = double(local.queries) / local.seconds;
        std::printf("  %-34s %10s %8s %9s %9s\n", "", "queries/s", "errors", "p50 ms", "p99 ms");
        std::printf("  %-34s %10.0f %8ld %9.2f %9.2f\n", "server, 200 connections", serverQps, load.errors,
                    load.latency.p50, load.latency.p99);
        std::printf("  %-34s %10.0f %8ld %9.3f %9.3f\n",
                    qPrintable(QStringLiteral("in-process, %1 threads").arg(cores)), localQps, local.errors,
                    local.latency.p50, local.latency.p99);
        std::printf("  %-34s %10.0f %8ld %9.2f %9.2f\n",
                    qPrintable(QStringLiteral("server, 200 x 1 query / %1 ms").arg(kIntervalMs)),
                    double(paced.queries) / paced.seconds, paced.errors, paced.latency.p50, paced.latency.p99);
        std::printf("  (back to back, each query queues behind the other connections' ones: mean latency = %d / qps = %.1f ms)\n",
                    kLoadConnections, serverQps > 0 ? 1000.0 * kLoadConnections / serverQps : 0.0);
        std::printf("  server overhead ratio (in-process qps / server qps): %.1f\n", serverQps > 0 ? localQps / serverQps : 0.0);
        if (load.firstError.isEmpty() && !paced.firstError.isEmpty())
            std::printf("  first error: %s\n", qPrintable(paced.firstError));
        if (!load.firstError.isEmpty())
            std::printf("  first error: %s\n", qPrintable(load.firstError));
        std::printf("  resident memory: %ld KiB idle server, %ld KiB with %d open connections = %.0f KiB per connection\n",
                    baseKib, load.rssOpenKib, kLoadConnections,
                    double(load.rssOpenKib - baseKib) / kLoadConnections);

        // Idle connections: all held at once, each still answering.
        const long beforeIdleKib = settledResident(server);
        std::vector<int> idle;
        int welcomed = 0;
        for (int i = 0; i < kIdleConnections; ++i) {
            QByteArray greeting;
            const int fd = idleConnection(server.port(), greeting);
            if (fd >= 0)
                idle.push_back(fd);
            if (greeting.startsWith("200 VIDAZEVIVU"))
                ++welcomed;
        }
        const long idleKib = settledResident(server);
        int answering = 0;
        for (int fd : idle)
            answering += answers(fd) ? 1 : 0;
        for (int fd : idle)
            ::close(fd);
        std::printf("  idle: %d of %d connections held and opened, %d answering afterwards; %.0f KiB per idle connection\n",
                    welcomed, kIdleConnections, answering, double(idleKib - beforeIdleKib) / kIdleConnections);
        const bool met = load.errors == 0 && paced.errors == 0 && load.latency.p99 < 50.0 && answering == kIdleConnections;
        std::printf("  goal (p99 < 50 ms, no error, %d idle held): %s\n", kIdleConnections, met ? "met" : "NOT met");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_server: %s\n", error.what());
        return 1;
    }
}
