#include "server/rowtext.h"

namespace lystra {

namespace {

bool needsQuotes(QByteArrayView value)
{
    if (value.isEmpty())
        return true;
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 32 || c == ',' || c == '"')
            return true;
    }
    return false;
}

} // namespace

void RowTextWriter::separate()
{
    if (!m_firstInRow)
        m_out.append(',');
    m_firstInRow = false;
}

void RowTextWriter::appendValue(QByteArrayView value)
{
    separate();
    if (!needsQuotes(value)) {
        m_out.append(value);
        return;
    }
    m_out.append('"');
    for (char c : value) {
        if (c == '"')
            m_out.append('"');
        m_out.append(c == '\0' ? ' ' : c);
    }
    m_out.append('"');
}

void RowTextWriter::appendNull()
{
    separate();
    m_out.append(kNullByte);
}

void RowTextWriter::endRow()
{
    m_out.append('\0');
    m_firstInRow = true;
}

QByteArray toHexText(QByteArrayView bytes)
{
    return bytes.toByteArray().toHex().toUpper();
}

} // namespace lystra
