#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

#include <optional>

// A blocking protocol connection that shows the exact bytes: what a test
// sends goes out unchanged, and replies, lines and blocks are read as they
// arrive. Every read waits at most 20 s and fails the test after that.
class RawConnection {
public:
    RawConnection(const QString& host, quint16 port);

    // The greeting line, read by the constructor (with its CR LF).
    const QByteArray& greeting() const { return m_greeting; }

    void send(const QByteArray& bytes);
    void sendLine(const QByteArray& line) { send(line + "\r\n"); }

    // One line with its line end; empty when the connection closed first.
    QByteArray line();
    // A whole reply: its lines (with CR LF) up to the last one of the reply.
    QByteArray reply();
    // A block: 4-byte big-endian length, then the bytes.
    QByteArray block();
    // Lines up to and including ".".
    QList<QByteArray> lineList();

    // Sends a command line and returns its reply.
    QByteArray command(const QByteArray& line)
    {
        sendLine(line);
        return reply();
    }
    // "get n": the rows of the block (each without its NUL), or nullopt on 522.
    std::optional<QList<QByteArray>> rows(int count = 200);

    // True when the server closed the connection (waits up to `ms`).
    bool closedByServer(int ms = 5000);
    QTcpSocket& socket() { return m_socket; }

private:
    bool waitFor(qsizetype bytes);
    QByteArray take(qsizetype bytes);

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QByteArray m_greeting;
};
