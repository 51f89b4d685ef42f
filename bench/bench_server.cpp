// Gateway server under load, side by side with the same work in-process:
//  1. 200 connections, each repeating the queue's listing SELECT for its user
//     against the demo data (as the desktop program sends it: query, rows,
//     "clear"), for BENCH_SECONDS (default 20) seconds: queries per second
//     and the 50th/99th percentile latency. All 200 are driven by one
//     event-driven thread, so that the latency is the server's and not the
//     scheduling of 200 client threads on the same cores;
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

#include "odbc/odbcprotocol.h"
#include "server/demoreports.h"

#include "platform/exception.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <sys/epoll.h>
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
    double clientCpuSeconds = 0; // CPU time of the load generator itself during the run
    bool clientPriorityRaised = false;
    long fewestPerConnection = 0; // queries of the least and the most served connection:
    long mostPerConnection = 0;   // how evenly the server shares itself out
    // How late the generator started due queries of paced connections that
    // were waiting: its own scheduling delay, which the latency cannot show.
    Percentiles startDelay;
    long stalls = 0; // times the machine stood still longer than StallWatch::kStallMs
    double stalledMs = 0;
    double longestStallMs = 0;
    QString firstError;
};

// One protocol connection of the load generator: a non-blocking socket and
// where it stands in the exchange the desktop program has for a listing:
//   greeting line; "open LYSTRA <user> x" -> 200;
//   then per query: "sql <statement>" -> 200 with the field definitions
//   ("OK" announces them as a block fetched by "info "), "get 200" -> 200
//   and a block of rows, repeated until 522 or an empty block, "clear".
// A query is timed from its first byte sent to the end of its last reply.
class LoadConnection {
public:
    enum class State {
        Connecting,
        Greeting,
        Opening,
        Ready, // opened, no query in flight
        Statement,
        Info,
        InfoBlock,
        Rows,
        RowBlock,
        Clearing,
        Dead,
    };

    LoadConnection(int epoll, const QString& user) : m_epoll(epoll), m_user(user.toLatin1())
    {
        m_sqlLine = QByteArray("sql " + odbc::flattenStatement(listingSql(user)) + "\r\n");
    }
    ~LoadConnection()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LoadConnection(const LoadConnection&) = delete;
    LoadConnection& operator=(const LoadConnection&) = delete;

    State state() const noexcept { return m_state; }
    int fd() const noexcept { return m_fd; }
    const QString& error() const noexcept { return m_error; }
    Clock::time_point due() const noexcept { return m_due; }
    long completed() const noexcept { return m_completed; }
    Clock::time_point finished() const noexcept { return m_finished; }
    void setDue(Clock::time_point due) noexcept { m_due = due; }

    // Closes the connection, keeping the first error it met.
    void abandon(const QString& error) { fail(error); }

    // Starts a non-blocking connect to the loopback port; false (with
    // error()) when the socket cannot even be made.
    bool connectTo(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return fail(QStringLiteral("socket: ") + QString::fromLocal8Bit(std::strerror(errno)));
        // Nagle off, as the desktop program's socket has it.
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS)
            return fail(QStringLiteral("connect: ") + QString::fromLocal8Bit(std::strerror(errno)));
        m_state = State::Connecting;
        epoll_event event{};
        event.events = EPOLLOUT;
        event.data.ptr = this;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_fd, &event) != 0)
            return fail(QStringLiteral("epoll_ctl: ") + QString::fromLocal8Bit(std::strerror(errno)));
        m_watchingOutput = true;
        return true;
    }

    // Sends the query's statement; only in Ready. Its time starts here.
    void startQuery()
    {
        m_started = Clock::now();
        m_rows = 0;
        send(m_sqlLine);
        m_state = State::Statement;
    }

    // Handles readiness reported by epoll. Answers the latency in ms when a
    // query completed during this call (at most one can: the next one is
    // only started by the caller), else a negative value.
    float onEvent(std::uint32_t events)
    {
        if (m_state == State::Connecting) {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error != 0) {
                fail(QStringLiteral("connect: ") + QString::fromLocal8Bit(std::strerror(error)));
                return -1;
            }
            m_state = State::Greeting;
        }
        if ((events & EPOLLOUT) && !flush())
            return -1;
        if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
            if (!receive())
                return -1;
            return process();
        }
        watch();
        return -1;
    }

private:
    bool fail(const QString& error)
    {
        if (m_error.isEmpty())
            m_error = error;
        m_state = State::Dead;
        if (m_fd >= 0) {
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_fd, nullptr);
            ::close(m_fd);
            m_fd = -1;
        }
        return false;
    }

    QByteArrayView pending() const noexcept { return QByteArrayView(m_in).sliced(m_inPos); }

    void send(QByteArrayView bytes)
    {
        m_out.append(bytes);
        flush();
    }

    // Writes what the socket takes now; the rest waits for EPOLLOUT.
    bool flush()
    {
        while (m_outPos < m_out.size() && m_state != State::Connecting) {
            const ssize_t n = ::send(m_fd, m_out.constData() + m_outPos, size_t(m_out.size() - m_outPos), MSG_NOSIGNAL);
            if (n > 0) {
                m_outPos += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            } else {
                return fail(QStringLiteral("send: ") + QString::fromLocal8Bit(std::strerror(errno)));
            }
        }
        if (m_outPos == m_out.size()) {
            m_out.clear();
            m_outPos = 0;
        }
        watch();
        return m_state != State::Dead;
    }

    // Input is always watched; output only while bytes wait to be written.
    void watch()
    {
        if (m_state == State::Dead)
            return;
        const bool wantOutput = m_state == State::Connecting || m_outPos < m_out.size();
        if (wantOutput == m_watchingOutput)
            return;
        epoll_event event{};
        event.events = EPOLLIN | (wantOutput ? EPOLLOUT : 0u);
        event.data.ptr = this;
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_fd, &event);
        m_watchingOutput = wantOutput;
    }

    bool receive()
    {
        if (m_inPos > 0 && m_inPos >= m_in.size() / 2) {
            m_in.remove(0, m_inPos);
            m_inPos = 0;
        }
        for (;;) {
            const qsizetype old = m_in.size();
            constexpr qsizetype kChunk = 64 * 1024;
            m_in.resize(old + kChunk);
            const ssize_t n = ::recv(m_fd, m_in.data() + old, size_t(kChunk), 0);
            m_in.resize(old + std::max<qsizetype>(n, 0));
            if (n > 0) {
                if (n < kChunk)
                    return true;
                continue;
            }
            if (n == 0)
                return fail(QStringLiteral("connection closed by the server (%1)").arg(stateName()));
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            return fail(QStringLiteral("recv: ") + QString::fromLocal8Bit(std::strerror(errno)));
        }
    }

    QString stateName() const
    {
        static const char* const names[] = {"connecting", "greeting", "open", "ready", "sql", "info",
                                            "info block", "get", "row block", "clear", "dead"};
        return QString::fromLatin1(names[int(m_state)]);
    }

    // A reply whose code is not the expected one ends the connection: what
    // follows it on the stream is not known here.
    bool expect(const odbc::Reply& reply, std::initializer_list<int> codes)
    {
        if (std::find(codes.begin(), codes.end(), reply.numericCode) != codes.end())
            return true;
        return fail(QStringLiteral("%1 for %2: %3")
                        .arg(stateName(), QString::fromLatin1(m_user),
                             QString::fromLatin1(QByteArray(reply.code + ' ' + reply.replyString()).trimmed())));
    }

    // Takes a block (4-byte length and payload) when it is complete.
    std::optional<QByteArrayView> takeBlock()
    {
        const std::optional<std::uint32_t> length = odbc::parseBlockLength(pending());
        if (!length || pending().size() < odbc::kBlockHeaderSize + qsizetype(*length))
            return std::nullopt;
        const QByteArrayView block = pending().sliced(odbc::kBlockHeaderSize, qsizetype(*length));
        m_inPos += odbc::kBlockHeaderSize + qsizetype(*length);
        return block;
    }

    std::optional<odbc::Reply> takeReply()
    {
        odbc::ReplyParse parse = odbc::parseReply(pending());
        if (parse.status != odbc::ParseStatus::Complete)
            return std::nullopt;
        m_inPos += parse.consumed;
        return std::move(parse.reply);
    }

    // Advances through every complete answer in the input.
    float process()
    {
        float latency = -1;
        for (;;) {
            switch (m_state) {
            case State::Greeting: {
                const odbc::LineParse line = odbc::parseLine(pending());
                if (line.status != odbc::ParseStatus::Complete)
                    return latency;
                const QByteArray greeting = line.line.toByteArray();
                m_inPos += line.consumed;
                if (!greeting.startsWith("200")) {
                    fail(QStringLiteral("greeting: ") + QString::fromLatin1(greeting));
                    return latency;
                }
                send(QByteArray("open LYSTRA " + m_user + " x\r\n"));
                m_state = State::Opening;
                break;
            }
            case State::Opening: {
                const auto reply = takeReply();
                if (!reply)
                    return latency;
                if (!expect(*reply, {200}))
                    return latency;
                m_state = State::Ready;
                break;
            }
            case State::Statement: {
                const auto reply = takeReply();
                if (!reply)
                    return latency;
                if (!expect(*reply, {200}))
                    return latency;
                if (reply->replyString() == "OK\r\n") {
                    send("info \r\n");
                    m_state = State::Info;
                } else {
                    send("get 200\r\n");
                    m_state = State::Rows;
                }
                break;
            }
            case State::Info: {
                const auto reply = takeReply();
                if (!reply)
                    return latency;
                if (!expect(*reply, {200}))
                    return latency;
                m_state = State::InfoBlock;
                break;
            }
            case State::InfoBlock: {
                if (!takeBlock())
                    return latency;
                send("get 200\r\n");
                m_state = State::Rows;
                break;
            }
            case State::Rows: {
                const auto reply = takeReply();
                if (!reply)
                    return latency;
                if (!expect(*reply, {200, 522}))
                    return latency;
                if (reply->numericCode == 522) {
                    send("clear\r\n");
                    m_state = State::Clearing;
                } else {
                    m_state = State::RowBlock;
                }
                break;
            }
            case State::RowBlock: {
                const auto block = takeBlock();
                if (!block)
                    return latency;
                if (block->isEmpty()) {
                    send("clear\r\n");
                    m_state = State::Clearing;
                    break;
                }
                for (qsizetype pos = 0; pos < block->size(); pos = odbc::nextRow(*block, pos).next)
                    ++m_rows;
                send("get 200\r\n");
                m_state = State::Rows;
                break;
            }
            case State::Clearing: {
                if (!takeReply())
                    return latency;
                m_state = State::Ready;
                if (m_rows == 0) {
                    fail(QStringLiteral("no rows for ") + QString::fromLatin1(m_user));
                    return latency;
                }
                m_finished = Clock::now();
                latency = std::chrono::duration<float, std::milli>(m_finished - m_started).count();
                ++m_completed;
                break;
            }
            case State::Ready:
                // Nothing is expected before the next query: bytes here are
                // a fault of the server.
                if (!pending().isEmpty())
                    fail(QStringLiteral("unexpected bytes while idle for ") + QString::fromLatin1(m_user));
                return latency;
            case State::Connecting:
            case State::Dead:
                return latency;
            }
            if (m_state == State::Dead)
                return latency;
        }
    }

    int m_epoll;
    int m_fd = -1;
    QByteArray m_user;
    QByteArray m_sqlLine;
    State m_state = State::Dead;
    QString m_error;
    QByteArray m_in;
    qsizetype m_inPos = 0;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    bool m_watchingOutput = false;
    Clock::time_point m_started;
    Clock::time_point m_due;
    Clock::time_point m_finished;
    long m_rows = 0;
    long m_completed = 0;
};

// Raises the calling thread's scheduling priority while it lives (when the
// system allows it), and restores it. The one generator thread must wake as
// soon as a reply arrives, or its own waiting for the CPU counts as latency;
// it uses a fraction of a core, so it takes little from the server.
class RaisedPriority {
public:
    RaisedPriority()
    {
        const id_t thread = id_t(::gettid());
        errno = 0;
        m_old = ::getpriority(PRIO_PROCESS, thread);
        m_raised = errno == 0 && ::setpriority(PRIO_PROCESS, thread, kNice) == 0;
    }
    ~RaisedPriority()
    {
        if (m_raised)
            ::setpriority(PRIO_PROCESS, id_t(::gettid()), m_old);
    }
    RaisedPriority(const RaisedPriority&) = delete;
    RaisedPriority& operator=(const RaisedPriority&) = delete;

    bool raised() const noexcept { return m_raised; }
    static constexpr int kNice = -10;

private:
    int m_old = 0;
    bool m_raised = false;
};

// Watches the machine itself while a run goes on: a thread that sleeps 1 ms
// at a time and notes how much longer it slept. On a shared virtual machine
// every thread, server and client alike, now and then stands still for a
// while; such a stall lengthens every query in flight, whoever measures.
class StallWatch {
public:
    StallWatch()
        : m_thread([this] {
              while (!m_stop.load(std::memory_order_relaxed)) {
                  const auto before = Clock::now();
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  const double over =
                      std::chrono::duration<double, std::milli>(Clock::now() - before).count() - 1.0;
                  if (over > kStallMs) {
                      ++m_stalls;
                      m_stalledMs += over;
                  }
                  m_longestMs = std::max(m_longestMs, over);
              }
          })
    {
    }
    ~StallWatch() { stop(); }
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Valid after stop().
    long stalls() const noexcept { return m_stalls; }
    double stalledMs() const noexcept { return m_stalledMs; }
    double longestMs() const noexcept { return m_longestMs; }
    static constexpr double kStallMs = 20.0;

private:
    std::atomic<bool> m_stop{false};
    long m_stalls = 0;
    double m_stalledMs = 0;
    double m_longestMs = 0;
    std::thread m_thread; // last: starts once the fields above exist
};

double cpuSecondsOfThisProcess()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// 200 connections driven by this one thread through epoll. Every connection
// repeats the SELECT back to back (`intervalMs` 0), or starts one every
// `intervalMs` milliseconds (a paced load below saturation: its latency is
// the server's response time rather than the queue length).
LoadResult runLoad(const ServerProcess& server, int seconds, int intervalMs = 0)
{
    LoadResult result;
    const RaisedPriority priority;
    result.clientPriorityRaised = priority.raised();
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0)
        throw Exception(QStringLiteral("epoll_create1 failed"));
    const auto closeEpoll = qScopeGuard([epoll] { ::close(epoll); });

    std::vector<std::unique_ptr<LoadConnection>> connections;
    for (int i = 0; i < kLoadConnections; ++i) {
        connections.push_back(std::make_unique<LoadConnection>(epoll, userOf(i)));
        connections.back()->connectTo(server.port());
    }

    std::vector<float> latencies;
    latencies.reserve(size_t(kLoadConnections) * 2000);
    std::vector<float> startDelays;
    std::vector<epoll_event> events(kLoadConnections);
    // One pass of the event loop: waits until `until` at the latest (and
    // at most 1 s) for readiness and handles what became ready.
    const auto poll = [&](Clock::time_point until) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        const int n = ::epoll_wait(epoll, events.data(), int(events.size()), int(std::clamp<long long>(wait, 0, 1000)));
        for (int e = 0; e < n; ++e) {
            auto* connection = static_cast<LoadConnection*>(events[size_t(e)].data.ptr);
            const float latency = connection->onEvent(events[size_t(e)].events);
            if (latency >= 0)
                latencies.push_back(latency);
        }
    };
    const auto count = [&](LoadConnection::State state) {
        return std::count_if(connections.begin(), connections.end(),
                             [state](const auto& c) { return c->state() == state; });
    };
    const auto busy = [&] {
        return std::count_if(connections.begin(), connections.end(), [](const auto& c) {
            return c->state() != LoadConnection::State::Ready && c->state() != LoadConnection::State::Dead;
        });
    };

    // Every connection greeted and opened.
    const auto openDeadline = Clock::now() + std::chrono::seconds(60);
    while (busy() > 0 && Clock::now() < openDeadline)
        poll(openDeadline);
    for (auto& connection : connections) {
        if (connection->state() != LoadConnection::State::Ready)
            connection->abandon(QStringLiteral("not opened within 60 s"));
    }
    const long connected = count(LoadConnection::State::Ready);
    // Every connection is open and idle now: the server's memory for them.
    result.rssOpenKib = settledResident(server);

    StallWatch stallWatch;
    const double cpuBefore = cpuSecondsOfThisProcess();
    const auto start = Clock::now();
    const auto stopAt = start + std::chrono::seconds(seconds);
    // Paced clients start at a random point of the interval each (a fixed
    // seed: the same phases on every run), so that their queries arrive
    // independently rather than in step.
    std::mt19937 random(1000);
    std::uniform_int_distribution<long> phase(0, std::max(0L, intervalMs * 1000L - 1));
    for (auto& connection : connections)
        connection->setDue(start + std::chrono::microseconds(intervalMs > 0 ? phase(random) : 0));

    for (;;) {
        const auto now = Clock::now();
        const bool running = now < stopAt;
        // Starts the queries that are due; tracks the next one to come.
        Clock::time_point next = running ? stopAt : now + std::chrono::seconds(1);
        for (auto& connection : connections) {
            if (connection->state() != LoadConnection::State::Ready || !running)
                continue;
            if (connection->due() <= now) {
                if (intervalMs > 0)
                    startDelays.push_back(std::chrono::duration<float, std::milli>(
                                              now - std::max(connection->due(), connection->finished()))
                                              .count());
                connection->startQuery();
                if (intervalMs > 0)
                    connection->setDue(connection->due() + std::chrono::milliseconds(intervalMs));
            }
            if (intervalMs > 0)
                next = std::min(next, connection->due());
        }
        if (!running && busy() == 0)
            break;
        // Queries still in flight at the end get a grace time, then count as errors.
        if (!running && now > stopAt + std::chrono::seconds(30))
            break;
        poll(next);
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.clientCpuSeconds = cpuSecondsOfThisProcess() - cpuBefore;
    stallWatch.stop();
    result.stalls = stallWatch.stalls();
    result.stalledMs = stallWatch.stalledMs();
    result.longestStallMs = stallWatch.longestMs();

    result.queries = long(latencies.size());
    const auto [fewest, most] = std::minmax_element(
        connections.begin(), connections.end(), [](const auto& a, const auto& b) { return a->completed() < b->completed(); });
    result.fewestPerConnection = (*fewest)->completed();
    result.mostPerConnection = (*most)->completed();
    result.latency = percentiles(latencies);
    result.startDelay = percentiles(startDelays);
    for (const auto& connection : connections) {
        if (connection->state() != LoadConnection::State::Ready) {
            ++result.errors;
            const QString error = connection->error().isEmpty() ? QStringLiteral("no reply within 30 s after the end")
                                                                 : connection->error();
            if (result.firstError.isEmpty())
                result.firstError = error;
        }
    }
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
        std::printf("  queries per connection, back to back: fewest %ld, most %ld (mean %.0f)\n",
                    load.fewestPerConnection, load.mostPerConnection, double(load.queries) / kLoadConnections);
        std::printf("  load generator: one thread at %s, %.0f%% / %.0f%% of a core (back to back / paced); "
                    "paced queries sent late by p50 %.2f / p99 %.2f ms\n",
                    load.clientPriorityRaised ? qPrintable(QStringLiteral("nice %1").arg(RaisedPriority::kNice))
                                              : "normal priority",
                    100.0 * load.clientCpuSeconds / load.seconds, 100.0 * paced.clientCpuSeconds / paced.seconds,
                    paced.startDelay.p50, paced.startDelay.p99);
        std::printf("  machine stalls over %.0f ms (a 1 ms sleep overslept): back to back %ld, %.0f ms in all, "
                    "longest %.0f ms; paced %ld, %.0f ms in all, longest %.0f ms\n",
                    StallWatch::kStallMs, load.stalls, load.stalledMs, load.longestStallMs, paced.stalls,
                    paced.stalledMs, paced.longestStallMs);
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
