#include "odbc/odbcprotocol.h"

#include "platform/convert.h"

#include <bit>
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

// Copies a short run without a call: rows are made of many small values.
inline void copyBytes(char* dest, const char* src, qsizetype size) noexcept
{
    if (size >= 8 && size <= 16) {
        std::memcpy(dest, src, 8);
        std::memcpy(dest + size - 8, src + size - 8, 8);
    } else if (size >= 4 && size < 8) {
        std::memcpy(dest, src, 4);
        std::memcpy(dest + size - 4, src + size - 4, 4);
    } else if (size < 4) {
        for (qsizetype i = 0; i < size; ++i)
            dest[i] = src[i];
    } else {
        std::memcpy(dest, src, size);
    }
}

// Writes values into a reused list: strings that are not shared keep their
// buffers (and their size when the next row's value has the same length), so
// a block of similar rows allocates only for its first row.
class ValueWriter {
public:
    // Detaches the list once, not for every value.
    explicit ValueWriter(QList<QByteArray>& values)
        : m_values(values), m_data(values.data()), m_size(values.size())
    {
    }

    QByteArray& next()
    {
        if (m_count == m_size) {
            m_values.emplace_back();
            m_data = m_values.data();
            m_size = m_values.size();
        }
        return m_data[m_count++];
    }
    void add(const char* text, qsizetype size)
    {
        QByteArray& value = next();
        if (value.size() != size)
            value.resize(size);
        if (size > 0)
            copyBytes(value.data(), text, size);
    }
    void done() { m_values.resize(m_count); }

private:
    QList<QByteArray>& m_values;
    QByteArray* m_data;
    qsizetype m_size;
    qsizetype m_count = 0;
};

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Eight bytes at a time: a byte equal to `c` leaves a zero byte in x ^ c...c,
// which sets its high bit in the mask; a below-33 byte sets it in the other
// mask. Borrows can only mark bytes above a true match, so the lowest mark is
// exact.
inline std::uint64_t matchesOf(std::uint64_t x, char c) noexcept
{
    const std::uint64_t y = x ^ (kOnes * static_cast<unsigned char>(c));
    return (y - kOnes) & ~y & kHighs;
}

inline std::uint64_t belowBlankOf(std::uint64_t x) noexcept
{
    return (x - kOnes * 33) & ~x & kHighs;
}

constexpr bool kSwar = std::endian::native == std::endian::little;

inline std::uint64_t load8(const char* p) noexcept
{
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

// The first quote or NUL at or after `p`, or nullptr.
inline const char* findQuoteOrNul(const char* p, const char* end) noexcept
{
    if constexpr (kSwar) {
        for (; end - p >= 8; p += 8) {
            const std::uint64_t x = load8(p);
            if (const std::uint64_t marks = matchesOf(x, '"') | matchesOf(x, '\0'))
                return p + (std::countr_zero(marks) >> 3);
        }
    }
    for (; p < end; ++p) {
        if (*p == '"' || *p == '\0')
            return p;
    }
    return nullptr;
}

// Reads a quoted value whose opening quote is at `p`; answers the position
// after the closing quote, or the NUL or end that cut the value short.
const char* readQuoted(const char* p, const char* end, ValueWriter& out)
{
    ++p;
    const char* quote = findQuoteOrNul(p, end);
    if (!quote || *quote == '\0') {
        const char* stop = quote ? quote : end;
        out.add(p, stop - p);
        return stop;
    }
    if (quote + 1 == end || quote[1] != '"') {
        out.add(p, quote - p);
        return quote + 1;
    }
    // Doubled quotes inside: collect the pieces.
    QByteArray& value = out.next();
    value.resize(end - p);
    char* const dest = value.data();
    char* d = dest;
    for (;;) {
        const char* stop = quote ? quote : end;
        std::memcpy(d, p, stop - p);
        d += stop - p;
        if (!quote || *quote == '\0') {
            p = stop;
            break;
        }
        if (quote + 1 < end && quote[1] == '"') {
            *d++ = '"';
            p = quote + 2;
            quote = findQuoteOrNul(p, end);
            continue;
        }
        p = quote + 1;
        break;
    }
    value.resize(d - dest);
    return p;
}

inline bool isSeparator(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 32 || c == ',';
}

// Characters 1 to 32 separate values; NUL is not among them: it ends the text.
inline bool isSkipped(char c) noexcept
{
    return c != '\0' && static_cast<unsigned char>(c) <= 32;
}

// The first byte at or after `p` that is a NUL, a blank, another control
// character or a comma.
inline const char* findSeparator(const char* p, const char* end) noexcept
{
    if constexpr (kSwar) {
        for (; end - p >= 8; p += 8) {
            const std::uint64_t x = load8(p);
            if (const std::uint64_t marks = belowBlankOf(x) | matchesOf(x, ','))
                return p + (std::countr_zero(marks) >> 3);
        }
    }
    while (p < end && !isSeparator(*p))
        ++p;
    return p;
}

// Splits values from `p` up to the first NUL or `end`; answers where it
// stopped (at that NUL or at `end`). Every step stops at a NUL, so the stop
// is exactly the first NUL: one pass both delimits the row and splits it.
const char* splitValues(const char* p, const char* const end, ValueWriter& out)
{
    while (p < end && isSkipped(*p))
        ++p;
    while (p < end && *p != '\0') {
        if (*p == '"') {
            p = readQuoted(p, end, out);
        } else {
            const char* start = p;
            p = findSeparator(p, end);
            out.add(start, p - start);
        }
        while (p < end && isSkipped(*p))
            ++p;
        if (p < end && *p == ',') {
            if (p + 1 == end || p[1] == '\0')
                out.add(p, 0);
            ++p;
            while (p < end && isSkipped(*p))
                ++p;
        }
    }
    out.done();
    return p;
}

} // namespace

void splitRowText(QByteArrayView text, QList<QByteArray>& values)
{
    ValueWriter out(values);
    splitValues(text.data(), text.data() + text.size(), out);
}

QList<QByteArray> splitRowText(QByteArrayView text)
{
    QList<QByteArray> values;
    splitRowText(text, values);
    return values;
}

RowParse splitNextRow(QByteArrayView block, qsizetype pos, QList<QByteArray>& values)
{
    ValueWriter out(values);
    const char* begin = block.data() + pos;
    const char* const end = block.data() + block.size();
    const char* stop = splitValues(begin, end, out);
    RowParse row;
    row.text = QByteArrayView(begin, stop - begin);
    row.terminated = stop < end;
    row.next = (stop - block.data()) + (row.terminated ? 1 : 0);
    return row;
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
