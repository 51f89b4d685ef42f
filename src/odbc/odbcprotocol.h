#pragma once

// The gateway protocol's byte-level rules as pure functions: they read only
// the bytes they are given, never block, and answer whether the input is
// complete or more bytes are needed, and how much they consumed. The client
// (todbcclient.h) buffers, sends and waits around them; fuzz targets and
// tests call them directly.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <optional>

namespace lystra::odbc {

enum class ParseStatus { Complete, NeedMore };

// ---- Lines ---------------------------------------------------------------

struct LineParse {
    ParseStatus status = ParseStatus::NeedMore;
    qsizetype consumed = 0; // bytes up to and including the LF
    QByteArrayView line;    // without the LF and one CR directly before it
};

// Takes one line from the start of `buffer`. A line ends at LF and has no
// length limit. `scanned` is how many leading bytes are already known to
// hold no LF (from an earlier NeedMore), so that a long line arriving in
// pieces is scanned once.
LineParse parseLine(QByteArrayView buffer, qsizetype scanned = 0) noexcept;

// ---- Replies ---------------------------------------------------------------

struct Reply {
    QByteArray code;         // the first four characters, trimmed, less a trailing "-"
    int numericCode = 0;     // `code` as an integer, 0 when it is not a number
    QList<QByteArray> lines; // each reply line without its first four characters

    // The lines joined, each followed by CR LF.
    QByteArray replyString() const;
};

// Assembles one reply from lines as they are read. Blank lines (only blanks
// or control characters) are skipped; each line is trimmed of leading and
// trailing characters of code 0 to 32. A first line whose fourth character is
// "-" opens a multi-line reply that ends with a line shorter than four
// characters or whose first four characters are the code and a blank (any
// case); any other first line is the whole reply.
class ReplyAssembler {
public:
    ParseStatus addLine(QByteArrayView line);
    // The reply once addLine answered Complete.
    const Reply& reply() const noexcept { return m_reply; }
    Reply takeReply();
    void reset();

private:
    Reply m_reply;
    bool m_started = false;
    bool m_multiLine = false;
};

struct ReplyParse {
    ParseStatus status = ParseStatus::NeedMore;
    qsizetype consumed = 0; // bytes of all lines the reply took
    Reply reply;
};

// One reply from the start of `buffer` (lines and reply syntax together).
ReplyParse parseReply(QByteArrayView buffer);

// ---- Blocks ----------------------------------------------------------------

// Size of the block length prefix: 4 bytes, big-endian.
constexpr qsizetype kBlockHeaderSize = 4;

// The block length from the first four bytes, nullopt when fewer arrived.
std::optional<std::uint32_t> parseBlockLength(QByteArrayView buffer) noexcept;

// ---- Rows ------------------------------------------------------------------

struct RowParse {
    QByteArrayView text; // the row's text without its NUL
    qsizetype next = 0;  // position after the NUL (or the end of the block)
    bool terminated = false; // false when the block ended without a NUL
};

// The row that starts at `pos` of a row block. Rows end at a NUL byte; text
// after the last NUL is taken as one more row (terminated = false), so no
// bytes of a block are dropped. Requires 0 <= pos < block.size().
RowParse nextRow(QByteArrayView block, qsizetype pos) noexcept;

// Splits a row's text into its values, in the delimited-text convention:
// "," separates, blanks and control characters (codes 1 to 32) also separate,
// the double quote quotes (a doubled one inside stands for one; an unclosed
// quote takes the rest). A comma at the very end adds one empty value. A NUL
// byte ends the text (rows never hold one: it ends them in a block).
// The overload with `values` reuses the list's strings (no allocation for a
// row not longer than the last) and resizes it to the number of values.
void splitRowText(QByteArrayView text, QList<QByteArray>& values);
QList<QByteArray> splitRowText(QByteArrayView text);

// nextRow and splitRowText in one pass: the row that starts at `pos` of a
// block, its values stored into `values`. Requires 0 <= pos < block.size().
RowParse splitNextRow(QByteArrayView block, qsizetype pos, QList<QByteArray>& values);

// ---- Commands ----------------------------------------------------------------

// The statement as one line: each CR LF pair becomes one blank; a lone CR or
// LF stays as it is.
QByteArray flattenStatement(QByteArrayView statement);

// The greeting that marks the version at which statements without result set
// change from "execsql" to "execsql2".
inline constexpr char kExecSql2Threshold[] = "200 VIDAZEVIVU 1.7";

// "execsql2" when the upper-cased greeting compares above the threshold
// character by character (so "... 1.8" is above and "... 1.10" below),
// else "execsql".
QByteArray execSqlCommandFor(QByteArrayView greeting);

// Stores `value` under `name` in a list of name=value lines: the first entry
// whose name equals `name` (ASCII case ignored) is replaced, else the line is
// appended.
void setNameValue(QList<QByteArray>& list, QByteArrayView name, QByteArrayView value);

} // namespace lystra::odbc
