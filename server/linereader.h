#pragma once

#include "server/linechannel.h"

#include <QByteArray>

#include <functional>

namespace lystra {

// Cuts a byte stream into protocol lines for a LineChannel. It pulls bytes
// from `source` (which blocks until some arrive and returns how many it
// wrote, 0 at the end of the stream), keeps them only until their line is
// complete, and skips a line over `lineLimit` as it arrives without keeping
// it. A line that has not ended after `skipBudget` bytes gives Overflow.
class LineReader {
public:
    using Source = std::function<qsizetype(char* buffer, qsizetype capacity)>;

    LineReader(Source source, qsizetype lineLimit, qsizetype skipBudget);

    LineChannel::Read readLine(QByteArray& line);
    qsizetype lineLimit() const { return m_limit; }

    // The default skip budget for a line limit: large enough for any honest
    // mistake (a 100 MB statement), small enough to end an endless line.
    static qsizetype defaultSkipBudget(qsizetype lineLimit);

private:
    bool receive();
    bool skipToLineEnd(LineChannel::Read& result);

    Source m_source;
    qsizetype m_limit;
    qsizetype m_skipBudget;
    QByteArray m_buffer;
    bool m_skipping = false;
    qsizetype m_skipped = 0;
};

} // namespace lystra
