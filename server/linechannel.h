#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lystra {

// The byte stream under a session: lines in, bytes out. Reads block until a
// line is complete; the session never sees a partial line.
class LineChannel {
public:
    enum class Read {
        Line,     // `line` holds the next line (without CR LF)
        TooLong,  // a line over the limit arrived and was skipped to its end
        Overflow, // a line over the limit did not end within the skip budget:
                  // the connection cannot continue after a last reply
        Closed,   // the peer closed the connection, or it broke
    };

    virtual ~LineChannel() = default;
    virtual Read readLine(QByteArray& line) = 0;
    // Sends every byte; false when the connection is broken.
    virtual bool send(QByteArrayView bytes) = 0;
    // The longest line accepted, in bytes.
    virtual qsizetype lineLimit() const = 0;
};

} // namespace lystra
