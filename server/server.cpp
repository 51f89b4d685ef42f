#include "server/server.h"

#include "server/servercontext.h"
#include "server/serverlog.h"
#include "server/session.h"
#include "server/socketchannel.h"

#include "platform/exception.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace lystra {

namespace {

// SQLite and Qt SQL need little stack; sanitizers need much more.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kThreadStack = 8u << 20;
#else
constexpr size_t kThreadStack = 512u << 10;
#endif

QString peerName(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return QStringLiteral("?");
    char host[INET6_ADDRSTRLEN] = {};
    int port = 0;
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
        port = ntohs(v6->sin6_port);
    }
    return QStringLiteral("%1:%2").arg(QString::fromLatin1(host)).arg(port);
}

constexpr int kListenBacklog = 4096;

void prepareSocket(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    // Every exchange is a short request waiting for its reply.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void refuse(int fd, const QString& why)
{
    static const char kGreeting[] = "300 Too many connections\r\n";
    const QString peer = peerName(fd);
    ::send(fd, kGreeting, sizeof kGreeting - 1, MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    logLine(QStringLiteral("connection from %1 refused: %2").arg(peer, why));
}

} // namespace

// State the connection threads share with the server; it outlives the
// server object when a thread is slow to finish.
struct Server::Shared {
    ServerContext* context = nullptr;
    mutable std::mutex mutex;
    std::condition_variable allGone;
    std::set<int> sockets;
    quint64 nextId = 0;
    bool stopping = false;
};

struct Server::ThreadStart {
    std::shared_ptr<Shared> shared;
    int fd;
    quint64 id;
};

Server::Server(ServerContext& context, QObject* parent)
    : QTcpServer(parent), m_context(context), m_shared(std::make_shared<Shared>())
{
    m_shared->context = &context;
}

Server::~Server()
{
    stop();
}

void Server::start()
{
    const ServerConfig& config = m_context.config();
    QHostAddress address;
    if (config.listenHost.compare(u"localhost", Qt::CaseInsensitive) == 0)
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(config.listenHost))
        throw Exception(QStringLiteral("Invalid listen address: %1").arg(config.listenHost));
    setMaxPendingConnections(1024);
    // The server speaks first: a connection the kernel dropped from a full
    // accept queue after the client saw it established would leave that
    // client waiting for a greeting that never comes. Let a burst of
    // connections (a pool filling up, hundreds of desktops at log-on) queue.
    setListenBacklogSize(kListenBacklog);
    if (!listen(address, config.listenPort))
        throw Exception(QStringLiteral("Cannot listen on %1:%2: %3")
                            .arg(config.listenHost)
                            .arg(config.listenPort)
                            .arg(errorString()));
}

int Server::connectionCount() const
{
    const std::lock_guard lock(m_shared->mutex);
    return int(m_shared->sockets.size());
}

void Server::incomingConnection(qintptr socketDescriptor)
{
    const int fd = int(socketDescriptor);
    prepareSocket(fd);
    quint64 id = 0;
    {
        const std::lock_guard lock(m_shared->mutex);
        if (m_shared->stopping || int(m_shared->sockets.size()) >= m_context.config().maxConnections) {
            id = 0;
        } else {
            id = ++m_shared->nextId;
            m_shared->sockets.insert(fd);
        }
    }
    if (id == 0) {
        refuse(fd, QStringLiteral("%1 connections open").arg(m_context.config().maxConnections));
        return;
    }
    auto* start = new ThreadStart{m_shared, fd, id};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kThreadStack);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, &Server::serve, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete start;
        {
            const std::lock_guard lock(m_shared->mutex);
            m_shared->sockets.erase(fd);
        }
        refuse(fd, QStringLiteral("no thread (error %1)").arg(error));
    }
}

void* Server::serve(void* argument)
{
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    const std::shared_ptr<Shared> shared = start->shared;
    const QString peer = peerName(start->fd);
    logLine(QStringLiteral("#%1 connected from %2").arg(start->id).arg(peer));
    try {
        SocketChannel channel(start->fd, shared->context->config().maxLineLength);
        Session session(*shared->context, channel, start->id);
        session.run();
    } catch (const std::exception& error) {
        logLine(QStringLiteral("#%1 ended by an error: %2").arg(start->id).arg(QString::fromUtf8(error.what())));
    }
    {
        const std::lock_guard lock(shared->mutex);
        shared->sockets.erase(start->fd);
        ::close(start->fd);
    }
    shared->allGone.notify_all();
    logLine(QStringLiteral("#%1 closed").arg(start->id));
    return nullptr;
}

void Server::stop(int waitMs)
{
    close();
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    // Waking every blocked read ends its session; the threads close their
    // sockets themselves, so no descriptor is closed twice.
    for (int fd : m_shared->sockets)
        ::shutdown(fd, SHUT_RDWR);
    m_shared->allGone.wait_for(lock, std::chrono::milliseconds(waitMs),
                               [this] { return m_shared->sockets.empty(); });
}

} // namespace lystra
