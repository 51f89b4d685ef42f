#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QProcess;

namespace lystra::test {

// The built gateway server `vidazevivu`, run as a child process for tests
// that need a real server. Each instance has its own temporary folder (data
// folder, log, configuration file), listens on a free loopback port and is
// accepting connections when the constructor returns. The destructor stops
// the server (SIGTERM, then SIGKILL after 10 s) and removes the folder.
//
// The child inherits the environment, so a test that needs, say, ODBCSYSINI
// sets it before constructing. Not copyable; one thread at a time.
class VidazevivuProcess {
public:
    struct Options {
        // Create the demo database LYSTRA (vidazevivu --init-demo) first.
        bool initDemo = false;
        // When not empty: written to a file and passed with --config.
        QByteArray configText;
        // Further command-line options, e.g. {"--greeting", "200 VIDAZEVIVU 1.7"}
        // or {"--max-connections", "2"}.
        QStringList arguments;
    };

    // Throws lystra::Exception (with the server's log) when the server does
    // not start or does not listen within 30 s.
    VidazevivuProcess();
    explicit VidazevivuProcess(const Options& options);
    ~VidazevivuProcess();

    VidazevivuProcess(const VidazevivuProcess&) = delete;
    VidazevivuProcess& operator=(const VidazevivuProcess&) = delete;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    // The embedded databases' folder: NAME.sqlite files here open as NAME.
    QString dataDir() const;
    // Everything the server wrote to stderr so far (one line per connection
    // and per failed statement).
    QByteArray log() const;
    bool isRunning() const;
    // Stops the server now (as the destructor does).
    void stop();

    // The server binary the tests were built with.
    static QString binaryPath();
    // Runs "vidazevivu --init-demo --data <dataDir>". Throws lystra::Exception.
    static void initDemo(const QString& dataDir);

private:
    void start(const Options& options);
    void waitUntilListening();

    QTemporaryDir m_root;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

} // namespace lystra::test
