#pragma once

#include "server/linechannel.h"
#include "server/linereader.h"

namespace lystra {

// A LineChannel over bytes in memory: reads come from `input` (the stream
// ends after it), everything sent is collected. For tests and fuzzing of the
// protocol engine without sockets.
class MemoryChannel : public LineChannel {
public:
    MemoryChannel(QByteArray input, qsizetype lineLimit, qsizetype skipBudget);

    Read readLine(QByteArray& line) override { return m_reader.readLine(line); }
    bool send(QByteArrayView bytes) override;
    qsizetype lineLimit() const override { return m_reader.lineLimit(); }

    const QByteArray& output() const { return m_output; }

private:
    QByteArray m_input;
    qsizetype m_position = 0;
    LineReader m_reader;
    QByteArray m_output;
};

} // namespace lystra
