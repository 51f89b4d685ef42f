#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace lystra::test {

// What a scripted server does on one accepted connection, step by step.
class Script {
public:
    enum class Kind { Send, Expect, ExpectRaw, Close };
    struct Step {
        Kind kind;
        QByteArray bytes; // Send: the bytes; Expect: the line without CR LF
    };

    // Sends these bytes as they are.
    Script& send(const QByteArray& bytes);
    // Reads one line (up to LF) and checks that it is exactly `line` + CR LF.
    Script& expect(const QByteArray& line);
    // Reads exactly these bytes (for lines that are not CR LF terminated).
    Script& expectRaw(const QByteArray& bytes);
    // Closes the connection now (the server then takes the next script).
    Script& close();

    const std::vector<Step>& steps() const { return m_steps; }

private:
    std::vector<Step> m_steps;
};

// A plain TCP listener on 127.0.0.1 and a free port that plays one Script per
// accepted connection, in order, on its own thread; after the last script the
// listener closes, so later connection attempts are refused. It records every byte a
// client sends; when a script has run to its end without closing, the server
// keeps reading until the client closes. Lines that differ from what a
// script expects are noted as problems (the script goes on). Every wait is
// bounded (`stepTimeoutMs`), so a test that goes wrong ends with a problem
// instead of hanging.
class ScriptedServer {
public:
    explicit ScriptedServer(QList<Script> connections, int stepTimeoutMs = 20000);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    static QString host() { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    // Waits until every script has run and its connection ended; answers the
    // problems seen (empty when every exchange went as scripted).
    QStringList finish();

    // Everything received on connection `index` (in accept order) so far.
    QByteArray received(int index) const;
    int connectionCount() const;
    QStringList problems() const;

    // A block as the protocol frames it: 4-byte big-endian length + bytes.
    static QByteArray block(const QByteArray& payload);

private:
    void run();
    void play(int fd, const Script& script, int index);
    bool waitReadable(int fd);
    void note(const QString& problem);

    QList<Script> m_scripts;
    int m_stepTimeoutMs;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_received;
    QStringList m_problems;
    std::thread m_thread;
};

} // namespace lystra::test
