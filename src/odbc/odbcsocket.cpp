#include "odbc/odbcsocket.h"

#include "odbc/odbcerrors.h"

#include <QTcpSocket>

#include <algorithm>

namespace lystra {

namespace {

// A buffer that held one huge line or block is given back once it is empty,
// so that one large reply does not pin its memory for the connection's life.
constexpr qsizetype kKeptCapacity = 1 << 20;

} // namespace

ODBCSocket::ODBCSocket() : m_socket(std::make_unique<QTcpSocket>()) {}

ODBCSocket::~ODBCSocket()
{
    m_socket->abort();
}

QString ODBCSocket::connectTo(const QString& host, quint16 port, int timeoutMs)
{
    m_socket->connectToHost(host, port);
    if (!m_socket->waitForConnected(timeoutMs > 0 ? timeoutMs : -1)) {
        QString error = m_socket->errorString();
        m_socket->abort();
        return error.isEmpty() ? QStringLiteral("Connection failed") : error;
    }
    // Every exchange is a short request followed by a wait for the reply.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return {};
}

void ODBCSocket::raiseSocketFailure()
{
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError ||
        (m_socket->state() == QAbstractSocket::UnconnectedState &&
         m_socket->error() == QAbstractSocket::UnknownSocketError))
        throw EConnectionClosed();
    throw ESocketError(QStringLiteral("Socket error: %1").arg(m_socket->errorString()));
}

void ODBCSocket::writeAll(QByteArrayView bytes)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        raiseSocketFailure();
    if (m_socket->write(bytes.data(), bytes.size()) != bytes.size())
        raiseSocketFailure();
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(-1))
            raiseSocketFailure();
    }
}

void ODBCSocket::writeLine(QByteArrayView line)
{
    QByteArray bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line);
    bytes.append("\r\n", 2);
    writeAll(bytes);
}

void ODBCSocket::writeLines(const QList<QByteArray>& lines)
{
    QByteArray bytes;
    for (const QByteArray& line : lines) {
        bytes.append(line);
        bytes.append("\r\n", 2);
    }
    writeAll(bytes);
}

QByteArrayView ODBCSocket::pending() const noexcept
{
    return QByteArrayView(m_buffer).sliced(m_pos);
}

void ODBCSocket::consume(qsizetype count) noexcept
{
    m_pos += count;
}

void ODBCSocket::fill()
{
    if (m_pos == m_buffer.size() && m_buffer.capacity() > kKeptCapacity) {
        m_buffer = QByteArray();
        m_pos = 0;
    } else if (m_pos > 0 && m_pos >= m_buffer.size() / 2) {
        // Moving the unread rest costs at most what was consumed since the
        // last move, so buffering stays linear in the bytes received.
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    qint64 available = m_socket->bytesAvailable();
    if (available == 0) {
        // Waits without time-out; a false return means the socket failed or
        // the peer closed it, possibly after delivering a last piece.
        const bool ready = m_socket->waitForReadyRead(-1);
        available = m_socket->bytesAvailable();
        if (!ready && available == 0)
            raiseSocketFailure();
    }
    const qsizetype used = m_buffer.size();
    if (m_buffer.capacity() < used + available)
        m_buffer.reserve(std::max<qsizetype>(used + available, 2 * m_buffer.capacity()));
    m_buffer.resize(used + available);
    const qint64 read = m_socket->read(m_buffer.data() + used, available);
    m_buffer.resize(used + std::max<qint64>(read, 0));
    if (read <= 0)
        raiseSocketFailure();
}

QByteArray ODBCSocket::readLine()
{
    qsizetype scanned = 0;
    for (;;) {
        const odbc::LineParse line = odbc::parseLine(pending(), scanned);
        if (line.status == odbc::ParseStatus::Complete) {
            QByteArray text = line.line.toByteArray();
            consume(line.consumed);
            return text;
        }
        scanned = pending().size();
        fill();
    }
}

odbc::Reply ODBCSocket::readReply()
{
    odbc::ReplyAssembler assembler;
    while (assembler.addLine(readLine()) != odbc::ParseStatus::Complete) {
    }
    return assembler.takeReply();
}

QByteArray ODBCSocket::readBlock()
{
    while (pending().size() < odbc::kBlockHeaderSize)
        fill();
    const qsizetype length = *odbc::parseBlockLength(pending());
    consume(odbc::kBlockHeaderSize);
    // The buffer grows only with bytes that arrived, so a length the server
    // does not honour costs nothing before the close that ends it.
    while (pending().size() < length)
        fill();
    QByteArray block = pending().first(length).toByteArray();
    consume(length);
    return block;
}

} // namespace lystra
