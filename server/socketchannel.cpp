#include "server/socketchannel.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>

namespace lystra {

namespace {

qsizetype receive(int fd, char* buffer, qsizetype capacity)
{
    while (true) {
        const ssize_t n = ::recv(fd, buffer, size_t(capacity), 0);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return 0; // a broken connection ends the stream like a close
    }
}

} // namespace

SocketChannel::SocketChannel(int fd, qsizetype lineLimit)
    : m_fd(fd),
      m_reader([fd](char* buffer, qsizetype capacity) { return receive(fd, buffer, capacity); }, lineLimit,
               LineReader::defaultSkipBudget(lineLimit))
{
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
