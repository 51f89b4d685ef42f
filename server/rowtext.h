#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lystra {

// Builds the row text of a "get" block: values in column order, separated by
// commas, each row followed by one NUL byte. A value is quoted with double
// quotes (inner quotes doubled) when a reader splitting on commas and blanks
// would otherwise misread it: when it is empty, or holds a comma, a double
// quote, or any byte from 0 to 32. NUL bytes inside a value cannot travel (NUL
// ends the row) and are sent as blanks. NULL is the single byte 255.
class RowTextWriter {
public:
    explicit RowTextWriter(QByteArray& out) : m_out(out) {}

    void appendValue(QByteArrayView value);
    void appendNull();
    // Ends the row with its NUL byte; the next value starts a new row.
    void endRow();

    static constexpr char kNullByte = '\xff';

private:
    void separate();

    QByteArray& m_out;
    bool m_firstInRow = true;
};

// Two upper-case hexadecimal digits per byte, as blob and memo values travel.
QByteArray toHexText(QByteArrayView bytes);

} // namespace lystra
