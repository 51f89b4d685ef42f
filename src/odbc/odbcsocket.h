#pragma once

#include "odbc/odbcprotocol.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QTcpSocket;

namespace lystra {

// The TCP connection under TODBCClient: a QTcpSocket used in blocking mode
// (Nagle off) with an input buffer of our own that the pure parsers of
// odbcprotocol.h read. Reads wait without time-out while the peer is
// connected; a close by the peer raises EConnectionClosed, any other socket
// failure ESocketError. Bound to the thread that created it.
class ODBCSocket {
public:
    ODBCSocket();
    ~ODBCSocket();
    ODBCSocket(const ODBCSocket&) = delete;
    ODBCSocket& operator=(const ODBCSocket&) = delete;

    // Connects within `timeoutMs` (<= 0: the system's own connect time-out).
    // Answers an empty text on success, else the socket's error text.
    QString connectTo(const QString& host, quint16 port, int timeoutMs);

    // Sends `line` followed by CR LF and waits until it is written.
    void writeLine(QByteArrayView line);
    // Sends several lines in one write.
    void writeLines(const QList<QByteArray>& lines);

    // One line without its LF (and a CR before it).
    QByteArray readLine();
    // One reply (see ReplyAssembler).
    odbc::Reply readReply();
    // One block: a 4-byte big-endian length, then that many bytes. The
    // payload is collected as it arrives, never allocated ahead of it.
    QByteArray readBlock();

private:
    QByteArrayView pending() const noexcept;
    void consume(qsizetype count) noexcept;
    void fill(); // waits for more bytes and appends them to the buffer
    void writeAll(QByteArrayView bytes);
    [[noreturn]] void raiseSocketFailure();

    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_buffer; // received bytes; the unread ones start at m_pos
    qsizetype m_pos = 0;
};

} // namespace lystra
