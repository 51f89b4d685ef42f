#pragma once

#include <QByteArrayView>

namespace lystra {

// Finds the next protocol line in bytes received so far. A line ends at LF;
// one CR directly before the LF is not part of the line. The function only
// looks at the bytes; the caller owns the buffer and drops `consumed` bytes.
struct LineScan {
    enum class Status {
        Complete, // `line` holds a whole line
        NeedMore, // no line end yet and the limit not exceeded
        TooLong,  // the line exceeds `limit` bytes (without its CR LF)
    };
    Status status = Status::NeedMore;
    QByteArrayView line;    // Complete only; points into the buffer
    qsizetype consumed = 0; // Complete and TooLong: bytes to drop from the buffer
    bool ended = false;     // TooLong only: the dropped bytes include the line's LF;
                            // when false, the rest of the line is still to come
};

// `limit` is the longest accepted line in bytes (at least 0). A line that
// fits is found within limit + 2 bytes; for a longer one the rest of the
// buffer is searched for its end once.
LineScan scanLine(QByteArrayView buffer, qsizetype limit);

} // namespace lystra
