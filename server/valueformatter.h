#pragma once

#include "server/fielddefs.h"

#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QByteArray>
#include <QVariant>

namespace lystra {

class RowTextWriter;

// Turns backend values into the text a row carries for the column's wire
// type. Text is encoded into the wire code page; characters the code page
// lacks become "?". Dates and times use the server's formats (the short date
// format, the long time format; a date-time is both with a blank between, the
// time left out at midnight). A value that does not fit its column's type is
// sent as its own text rather than dropped: the reader then sees the stored
// value, not a made-up one. Non-finite floating point numbers, which no reader
// can parse, travel as NULL. An instance is immutable and shareable.
class ValueFormatter {
public:
    ValueFormatter(const HostCodec& codec, FormatSettings formats);

    // Appends one value (NULL for a null QVariant) to the row.
    void append(RowTextWriter& row, const QVariant& value, WireType type) const;

    // The row text of a non-null value, unquoted; nullopt for NULL.
    std::optional<QByteArray> text(const QVariant& value, WireType type) const;

    const HostCodec& codec() const { return m_codec; }
    const FormatSettings& formats() const { return m_formats; }

private:
    QByteArray plainText(const QVariant& value) const;
    QByteArray integerText(const QVariant& value) const;
    std::optional<QByteArray> numberText(const QVariant& value) const;
    QByteArray dateText(const QVariant& value, WireType type) const;
    QByteArray memoText(const QVariant& value) const;

    const HostCodec& m_codec;
    FormatSettings m_formats;
};

// The shortest decimal text that reads back as the same double, "." as
// separator; nullopt for NaN and infinities.
std::optional<QByteArray> doubleText(double value);

} // namespace lystra
