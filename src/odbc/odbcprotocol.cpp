#include "odbc/odbcprotocol.h"

#include "platform/convert.h"

#include <cstring>

namespace lystra::odbc {

namespace {

// Blanks and control characters in the protocol's sense: codes 0 to 32.
// Bytes above 127 are text, so compare as unsigned.
inline bool isBlankOrControl(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArrayView trimBlanksAndControls(QByteArrayView text) noexcept
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QByteArrayView afterCode(QByteArrayView line) noexcept
{
    return line.size() > 4 ? line.sliced(4) : QByteArrayView();
}

} // namespace

LineParse parseLine(QByteArrayView buffer, qsizetype scanned) noexcept
{
    LineParse result;
    if (scanned < 0 || scanned > buffer.size())
        scanned = 0;
    const qsizetype lf = buffer.indexOf('\n', scanned);
    if (lf < 0)
        return result;
    qsizetype end = lf;
    if (end > 0 && buffer[end - 1] == '\r')
        --end;
    result.status = ParseStatus::Complete;
    result.consumed = lf + 1;
    result.line = buffer.first(end);
    return result;
}

QByteArray Reply::replyString() const
{
    qsizetype total = 0;
    for (const QByteArray& line : lines)
        total += line.size() + 2;
    QByteArray text;
    text.reserve(total);
    for (const QByteArray& line : lines) {
        text.append(line);
        text.append("\r\n", 2);
    }
    return text;
}

ParseStatus ReplyAssembler::addLine(QByteArrayView rawLine)
{
    const QByteArrayView line = trimBlanksAndControls(rawLine);
    if (line.isEmpty())
        return ParseStatus::NeedMore;
    m_reply.lines.append(afterCode(line).toByteArray());
    if (!m_started) {
        m_started = true;
        QByteArrayView code = trimBlanksAndControls(line.first(qMin<qsizetype>(4, line.size())));
        if (code.endsWith('-'))
            code.chop(1);
        m_reply.code = code.toByteArray();
        m_reply.numericCode = toIntDef(code, 0);
        m_multiLine = line.size() >= 4 && line[3] == '-';
        return m_multiLine ? ParseStatus::NeedMore : ParseStatus::Complete;
    }
    if (line.size() < 4)
        return ParseStatus::Complete;
    const QByteArray ending = m_reply.code + ' ';
    return line.first(4).compare(ending, Qt::CaseInsensitive) == 0 ? ParseStatus::Complete
                                                                   : ParseStatus::NeedMore;
}

Reply ReplyAssembler::takeReply()
{
    Reply reply = std::move(m_reply);
    reset();
    return reply;
}

void ReplyAssembler::reset()
{
    m_reply = Reply();
    m_started = false;
    m_multiLine = false;
}

ReplyParse parseReply(QByteArrayView buffer)
{
    ReplyParse result;
    ReplyAssembler assembler;
    qsizetype pos = 0;
    for (;;) {
        const LineParse line = parseLine(buffer.sliced(pos));
        if (line.status == ParseStatus::NeedMore)
            return result;
        pos += line.consumed;
        if (assembler.addLine(line.line) == ParseStatus::Complete) {
            result.status = ParseStatus::Complete;
            result.consumed = pos;
            result.reply = assembler.takeReply();
            return result;
        }
    }
}

std::optional<std::uint32_t> parseBlockLength(QByteArrayView buffer) noexcept
{
    if (buffer.size() < kBlockHeaderSize)
        return std::nullopt;
    std::uint32_t length = 0;
    for (qsizetype i = 0; i < kBlockHeaderSize; ++i)
        length = (length << 8) | static_cast<unsigned char>(buffer[i]);
    return length;
}

RowParse nextRow(QByteArrayView block, qsizetype pos) noexcept
{
    RowParse row;
    const char* begin = block.data() + pos;
    const auto* nul = static_cast<const char*>(std::memchr(begin, 0, block.size() - pos));
    if (nul) {
        row.text = QByteArrayView(begin, nul - begin);
        row.next = nul - block.data() + 1;
        row.terminated = true;
    } else {
        row.text = block.sliced(pos);
        row.next = block.size();
    }
    return row;
}

namespace {

// Writes values into a reused list: strings that are not shared keep their
// buffers, so a block of similar rows allocates only for its first row.
class ValueWriter {
public:
    explicit ValueWriter(QList<QByteArray>& values) : m_values(values) {}

    char* start(qsizetype maxSize)
    {
        if (m_count == m_values.size())
            m_values.emplace_back();
        m_current = &m_values[m_count++];
        m_current->resize(maxSize);
        return m_current->data();
    }
    void finish(qsizetype size) { m_current->resize(size); }
    void add(const char* text, qsizetype size)
    {
        char* out = start(size);
        if (size > 0)
            std::memcpy(out, text, size);
    }
    void done() { m_values.resize(m_count); }

private:
    QList<QByteArray>& m_values;
    QByteArray* m_current = nullptr;
    qsizetype m_count = 0;
};

// Reads a quoted value whose opening quote is at `p`; answers the position
// after the closing quote (or the end).
const char* readQuoted(const char* p, const char* end, ValueWriter& out)
{
    ++p;
    char* dest = out.start(end - p);
    char* d = dest;
    for (;;) {
        const auto* quote = static_cast<const char*>(std::memchr(p, '"', end - p));
        const char* stop = quote ? quote : end;
        if (stop > p) {
            std::memcpy(d, p, stop - p);
            d += stop - p;
        }
        if (!quote) {
            p = end;
            break;
        }
        if (quote + 1 < end && quote[1] == '"') {
            *d++ = '"';
            p = quote + 2;
            continue;
        }
        p = quote + 1;
        break;
    }
    out.finish(d - dest);
    return p;
}

inline bool isSeparator(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 32 || c == ',';
}

} // namespace

void splitRowText(QByteArrayView text, QList<QByteArray>& values)
{
    // Row text never holds NUL on the wire (it ends rows); should one reach
    // this function it ends the text, as it would end a C string.
    if (!text.isEmpty()) {
        if (const void* nul = std::memchr(text.data(), 0, text.size()))
            text = text.first(static_cast<const char*>(nul) - text.data());
    }
    ValueWriter out(values);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && isBlankOrControl(*p))
        ++p;
    while (p < end) {
        if (*p == '"') {
            p = readQuoted(p, end, out);
        } else {
            const char* start = p;
            while (p < end && !isSeparator(*p))
                ++p;
            out.add(start, p - start);
        }
        while (p < end && isBlankOrControl(*p))
            ++p;
        if (p < end && *p == ',') {
            if (p + 1 == end)
                out.add(p, 0);
            ++p;
            while (p < end && isBlankOrControl(*p))
                ++p;
        }
    }
    out.done();
}

QList<QByteArray> splitRowText(QByteArrayView text)
{
    QList<QByteArray> values;
    splitRowText(text, values);
    return values;
}

QByteArray flattenStatement(QByteArrayView statement)
{
    return statement.toByteArray().replace("\r\n", " ");
}

QByteArray execSqlCommandFor(QByteArrayView greeting)
{
    const QByteArray upper = greeting.toByteArray().toUpper();
    return QByteArrayView(upper) > QByteArrayView(kExecSql2Threshold) ? QByteArrayLiteral("execsql2")
                                                                      : QByteArrayLiteral("execsql");
}

void setNameValue(QList<QByteArray>& list, QByteArrayView name, QByteArrayView value)
{
    for (QByteArray& entry : list) {
        qsizetype eq = entry.indexOf('=');
        if (eq < 0)
            eq = entry.size();
        if (QByteArrayView(entry).first(eq).compare(name, Qt::CaseInsensitive) == 0) {
            entry = entry.first(eq) + '=' + value.toByteArray();
            return;
        }
    }
    list.append(name.toByteArray() + '=' + value.toByteArray());
}

} // namespace lystra::odbc
