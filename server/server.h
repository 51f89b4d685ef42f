#pragma once

#include <QTcpServer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

namespace lystra {

class ServerContext;

// Accepts connections and serves each on a thread of its own with blocking
// I/O: Qt SQL connections are bound to their thread, and a client keeps its
// database, result set and transaction for as long as it stays connected.
// Threads get a small stack so that hundreds of idle connections cost
// little. Beyond the configured number of connections a newcomer gets the
// "300" greeting and is closed. Lives on the thread that runs the event loop.
class Server : public QTcpServer {
    Q_OBJECT
public:
    explicit Server(ServerContext& context, QObject* parent = nullptr);
    // Stops first (see stop()).
    ~Server() override;

    // Listens on the configured address. Throws lystra::Exception.
    void start();
    // Stops listening, ends every connection (open transactions roll back)
    // and waits up to `waitMs` for their threads to finish.
    void stop(int waitMs = 10000);

    int connectionCount() const;

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    struct Shared;
    struct ThreadStart;
    static void* serve(void* argument);

    ServerContext& m_context;
    std::shared_ptr<Shared> m_shared;
};

} // namespace lystra
