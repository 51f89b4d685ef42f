#include "server/linereader.h"

#include "server/linescanner.h"

namespace lystra {

namespace {
constexpr qsizetype kReceiveChunk = 16384;
constexpr qsizetype kMinimumSkipBudget = 256ll << 20;
} // namespace

qsizetype LineReader::defaultSkipBudget(qsizetype lineLimit)
{
    return qMax(kMinimumSkipBudget, lineLimit * 16);
}

LineReader::LineReader(Source source, qsizetype lineLimit, qsizetype skipBudget)
    : m_source(std::move(source)), m_limit(lineLimit), m_skipBudget(skipBudget)
{
}

bool LineReader::receive()
{
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kReceiveChunk);
    const qsizetype n = m_source(m_buffer.data() + old, kReceiveChunk);
    m_buffer.resize(old + qMax<qsizetype>(n, 0));
    return n > 0;
}

bool LineReader::skipToLineEnd(LineChannel::Read& result)
{
    const qsizetype lf = m_buffer.indexOf('\n');
    if (lf >= 0) {
        m_skipped += lf + 1;
        m_buffer.remove(0, lf + 1);
        m_skipping = false;
        result = LineChannel::Read::TooLong;
        return true;
    }
    m_skipped += m_buffer.size();
    m_buffer.clear();
    if (m_skipped > m_skipBudget) {
        result = LineChannel::Read::Overflow;
        return true;
    }
    return false;
}

LineChannel::Read LineReader::readLine(QByteArray& line)
{
    while (true) {
        LineChannel::Read result = LineChannel::Read::Line;
        if (m_skipping) {
            if (skipToLineEnd(result))
                return result;
        } else if (!m_buffer.isEmpty()) {
            const LineScan scan = scanLine(m_buffer, m_limit);
            if (scan.status == LineScan::Status::Complete) {
                line = scan.line.toByteArray();
                m_buffer.remove(0, scan.consumed);
                if (m_buffer.isEmpty())
                    m_buffer = QByteArray(); // an idle connection keeps no buffer
                return LineChannel::Read::Line;
            }
            if (scan.status == LineScan::Status::TooLong) {
                m_buffer.remove(0, scan.consumed);
                if (scan.ended)
                    return LineChannel::Read::TooLong;
                m_skipping = true;
                m_skipped = scan.consumed;
                continue;
            }
        }
        if (!receive())
            return LineChannel::Read::Closed;
    }
}

} // namespace lystra
