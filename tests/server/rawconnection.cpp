#include "rawconnection.h"

#include <QDeadlineTimer>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {
constexpr int kWaitMs = 20000;
}

RawConnection::RawConnection(const QString& host, quint16 port)
{
    m_socket.connectToHost(host, port);
    EXPECT_TRUE(m_socket.waitForConnected(kWaitMs)) << m_socket.errorString().toStdString();
    m_greeting = line();
}

void RawConnection::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
    while (m_socket.bytesToWrite() > 0 && m_socket.state() == QAbstractSocket::ConnectedState) {
        if (!m_socket.waitForBytesWritten(kWaitMs))
            break;
    }
}

bool RawConnection::waitFor(qsizetype bytes)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (m_buffer.size() < bytes) {
        m_buffer.append(m_socket.readAll());
        if (m_buffer.size() >= bytes)
            break;
        if (m_socket.state() != QAbstractSocket::ConnectedState || deadline.hasExpired())
            return false;
        m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

QByteArray RawConnection::take(qsizetype bytes)
{
    const QByteArray taken = m_buffer.first(bytes);
    m_buffer.remove(0, bytes);
    return taken;
}

QByteArray RawConnection::line()
{
    const QDeadlineTimer deadline(kWaitMs);
    while (!m_buffer.contains('\n')) {
        m_buffer.append(m_socket.readAll());
        if (m_buffer.contains('\n'))
            break;
        if (m_socket.state() != QAbstractSocket::ConnectedState || deadline.hasExpired()) {
            ADD_FAILURE() << "no line from the server; got: " << m_buffer.toStdString();
            return {};
        }
        m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return take(m_buffer.indexOf('\n') + 1);
}

QByteArray RawConnection::reply()
{
    QByteArray all = line();
    if (all.size() < 4 || all[3] != '-')
        return all;
    const QByteArray code = all.first(3);
    while (true) {
        const QByteArray next = line();
        all += next;
        if (next.isEmpty() || next.size() < 4 || (next.startsWith(code) && next[3] == ' '))
            return all;
    }
}

QByteArray RawConnection::block()
{
    if (!waitFor(4)) {
        ADD_FAILURE() << "no block length";
        return {};
    }
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
    if (!waitFor(4 + qsizetype(length))) {
        ADD_FAILURE() << "block cut short";
        return {};
    }
    take(4);
    return take(length);
}

QList<QByteArray> RawConnection::lineList()
{
    QList<QByteArray> lines;
    while (true) {
        const QByteArray next = line();
        lines.append(next);
        if (next.isEmpty() || next == ".\r\n")
            return lines;
    }
}

std::optional<QList<QByteArray>> RawConnection::rows(int count)
{
    const QByteArray answer = command("get " + QByteArray::number(count));
    if (answer.startsWith("522"))
        return std::nullopt;
    EXPECT_EQ(answer, "200 OK\r\n");
    QByteArray data = block();
    EXPECT_TRUE(data.endsWith('\0'));
    data.chop(1);
    return data.split('\0');
}

bool RawConnection::closedByServer(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        m_buffer.append(m_socket.readAll());
        m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_buffer.append(m_socket.readAll());
    return m_socket.state() != QAbstractSocket::ConnectedState;
}
