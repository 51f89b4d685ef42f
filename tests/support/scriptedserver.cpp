#include "scriptedserver.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace lystra::test {

namespace {

constexpr int kPollSliceMs = 20;

} // namespace

Script& Script::send(const QByteArray& bytes)
{
    m_steps.push_back({Kind::Send, bytes});
    return *this;
}

Script& Script::expect(const QByteArray& line)
{
    m_steps.push_back({Kind::Expect, line});
    return *this;
}

Script& Script::expectRaw(const QByteArray& bytes)
{
    m_steps.push_back({Kind::ExpectRaw, bytes});
    return *this;
}

Script& Script::close()
{
    m_steps.push_back({Kind::Close, {}});
    return *this;
}

ScriptedServer::ScriptedServer(QList<Script> connections, int stepTimeoutMs)
    : m_scripts(std::move(connections)), m_stepTimeoutMs(stepTimeoutMs)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        throw std::runtime_error("scripted server: socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("scripted server: cannot listen on loopback");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QStringList ScriptedServer::finish()
{
    if (m_thread.joinable())
        m_thread.join();
    return problems();
}

QByteArray ScriptedServer::received(int index) const
{
    std::lock_guard lock(m_mutex);
    return m_received.value(index);
}

int ScriptedServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_received.size());
}

QStringList ScriptedServer::problems() const
{
    std::lock_guard lock(m_mutex);
    return m_problems;
}

QByteArray ScriptedServer::block(const QByteArray& payload)
{
    QByteArray framed(4, '\0');
    qToBigEndian(static_cast<quint32>(payload.size()), framed.data());
    return framed + payload;
}

void ScriptedServer::note(const QString& problem)
{
    std::lock_guard lock(m_mutex);
    m_problems.append(problem);
}

// Polls in short slices so that the destructor's stop flag is seen quickly.
bool ScriptedServer::waitReadable(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_stepTimeoutMs);
    while (!m_stop) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kPollSliceMs) > 0)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    }
    return false;
}

void ScriptedServer::run()
{
    for (int index = 0; index < m_scripts.size() && !m_stop; ++index) {
        if (!waitReadable(m_listener)) {
            note(QStringLiteral("connection %1 never came").arg(index));
            break;
        }
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            note(QStringLiteral("accept failed for connection %1").arg(index));
            break;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        {
            std::lock_guard lock(m_mutex);
            m_received.append(QByteArray());
        }
        play(fd, m_scripts[index], index);
        ::close(fd);
    }
    ::close(m_listener);
    m_listener = -1;
}

void ScriptedServer::play(int fd, const Script& script, int index)
{
    QByteArray input; // received, not yet matched against an expectation
    auto receiveMore = [&]() -> bool {
        if (!waitReadable(fd))
            return false;
        char chunk[65536];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        input.append(chunk, n);
        std::lock_guard lock(m_mutex);
        m_received[index].append(chunk, n);
        return true;
    };
    for (const Script::Step& step : script.steps()) {
        switch (step.kind) {
        case Script::Kind::Send: {
            qsizetype sent = 0;
            while (sent < step.bytes.size()) {
                const ssize_t n = ::send(fd, step.bytes.constData() + sent,
                                         step.bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    note(QStringLiteral("connection %1: send failed").arg(index));
                    return;
                }
                sent += n;
            }
            break;
        }
        case Script::Kind::Expect: {
            qsizetype lf;
            while ((lf = input.indexOf('\n')) < 0) {
                if (!receiveMore()) {
                    note(QStringLiteral("connection %1: no line \"%2\" (got \"%3\")")
                             .arg(index)
                             .arg(QString::fromLatin1(step.bytes), QString::fromLatin1(input)));
                    return;
                }
            }
            const QByteArray line = input.left(lf + 1);
            input.remove(0, lf + 1);
            if (line != step.bytes + "\r\n")
                note(QStringLiteral("connection %1: expected \"%2\", got \"%3\"")
                         .arg(index)
                         .arg(QString::fromLatin1(step.bytes), QString::fromLatin1(line)));
            break;
        }
        case Script::Kind::ExpectRaw: {
            while (input.size() < step.bytes.size()) {
                if (!receiveMore())
                    break;
            }
            const QByteArray got = input.left(step.bytes.size());
            input.remove(0, got.size());
            if (got != step.bytes)
                note(QStringLiteral("connection %1: expected bytes \"%2\", got \"%3\"")
                         .arg(index)
                         .arg(QString::fromLatin1(step.bytes), QString::fromLatin1(got)));
            break;
        }
        case Script::Kind::Close:
            return;
        }
    }
    // The script is done: record what else the client sends until it closes.
    while (receiveMore()) {
    }
}

} // namespace lystra::test
