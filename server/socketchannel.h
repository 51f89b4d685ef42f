#pragma once

#include "server/linechannel.h"

#include <optional>

namespace lystra {

// A LineChannel over a connected, blocking socket descriptor (not owned).
// Reads wait without time-out. A line over the limit is skipped as it
// arrives, without being kept; if it has not ended after `skipBudget` bytes,
// the channel reports Overflow.
class SocketChannel : public LineChannel {
public:
    SocketChannel(int fd, qsizetype lineLimit);

    Read readLine(QByteArray& line) override;
    bool send(QByteArrayView bytes) override;
    qsizetype lineLimit() const override { return m_limit; }

private:
    bool receive();
    std::optional<Read> skipToLineEnd();

    int m_fd;
    qsizetype m_limit;
    qsizetype m_skipBudget;
    QByteArray m_buffer;
    bool m_skipping = false;
    qsizetype m_skipped = 0;
};

} // namespace lystra
