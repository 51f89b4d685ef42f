#include "server/socketchannel.h"

#include "server/linescanner.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>

namespace lystra {

namespace {
// A client sending an endless line would otherwise hold its thread forever.
constexpr qsizetype kMinimumSkipBudget = 256ll << 20;
constexpr qsizetype kReceiveChunk = 16384;
} // namespace

SocketChannel::SocketChannel(int fd, qsizetype lineLimit)
    : m_fd(fd), m_limit(lineLimit), m_skipBudget(qMax(kMinimumSkipBudget, lineLimit * 16))
{
}

bool SocketChannel::receive()
{
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kReceiveChunk);
    while (true) {
        const ssize_t n = ::recv(m_fd, m_buffer.data() + old, size_t(kReceiveChunk), 0);
        if (n > 0) {
            m_buffer.resize(old + n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        m_buffer.resize(old);
        return false;
    }
}

std::optional<LineChannel::Read> SocketChannel::skipToLineEnd()
{
    const qsizetype lf = m_buffer.indexOf('\n');
    if (lf >= 0) {
        m_buffer.remove(0, lf + 1);
        m_skipping = false;
        return Read::TooLong;
    }
    m_skipped += m_buffer.size();
    m_buffer.clear();
    if (m_skipped > m_skipBudget)
        return Read::Overflow;
    return std::nullopt;
}

LineChannel::Read SocketChannel::readLine(QByteArray& line)
{
    while (true) {
        if (m_skipping) {
            if (const auto read = skipToLineEnd())
                return *read;
        } else if (!m_buffer.isEmpty()) {
            const LineScan scan = scanLine(m_buffer, m_limit);
            if (scan.status == LineScan::Status::Complete) {
                line = scan.line.toByteArray();
                m_buffer.remove(0, scan.consumed);
                if (m_buffer.isEmpty())
                    m_buffer = QByteArray(); // an idle connection keeps no buffer
                return Read::Line;
            }
            if (scan.status == LineScan::Status::TooLong) {
                m_buffer.remove(0, scan.consumed);
                if (scan.ended)
                    return Read::TooLong;
                m_skipping = true;
                m_skipped = scan.consumed;
                continue;
            }
        }
        if (!receive())
            return Read::Closed;
    }
}

bool SocketChannel::send(QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        // MSG_NOSIGNAL: a client gone mid-reply is an error return, not SIGPIPE.
        const ssize_t n = ::send(m_fd, data, size_t(left), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

} // namespace lystra
