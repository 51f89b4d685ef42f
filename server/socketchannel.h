#pragma once

#include "server/linechannel.h"
#include "server/linereader.h"

namespace lystra {

// A LineChannel over a connected, blocking socket descriptor (not owned).
// Reads wait without time-out.
class SocketChannel : public LineChannel {
public:
    SocketChannel(int fd, qsizetype lineLimit);

    Read readLine(QByteArray& line) override { return m_reader.readLine(line); }
    bool send(QByteArrayView bytes) override;
    qsizetype lineLimit() const override { return m_reader.lineLimit(); }

private:
    int m_fd;
    LineReader m_reader;
};

} // namespace lystra
