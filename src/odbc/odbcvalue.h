#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QVariant>

namespace lystra {

// How values travel in result rows, by the server's type name (the
// `DataType` of the field definition). Shared by the protocol client's users
// (the socket driver) so that one table decides every conversion.
enum class TODBCFieldKind {
    String,   // "string" and every unknown name: the characters
    Memo,     // "memo": hex digits, two per byte; byte 26 stands for CR LF
    Int16,    // "int16": decimal integer
    Int32,    // "int32"
    Int64,    // "int64"
    Double,   // "double": decimal number, "." as separator
    Currency, // "currency": as double
    Date,     // "date": the workstation's short date format
    Time,     // "time": the long (or short) time format
    DateTime, // "datetime": short date, a blank, the time
    Boolean,  // "boolean": "True"/"False" (any case) or a number, non-zero = true
    Bytes,    // "bytes": the characters, trailing blanks/control characters cut
    Blob,     // "blob": hex digits, two per byte
};

// The kind for a server type name; names match exactly (with regard to case),
// anything else is String.
TODBCFieldKind fieldKindOf(QByteArrayView dataType) noexcept;

// A value that is exactly the one byte 255 is NULL, in every column.
inline bool isNullValue(QByteArrayView text) noexcept
{
    return text.size() == 1 && static_cast<unsigned char>(text[0]) == 255;
}

// Turns one row value into its typed value:
//   String, Bytes, Memo, Blob -> QByteArray (wire text / raw bytes)
//   Int16 -> qint16, Int32 -> int, Int64 -> qint64, Double/Currency -> double
//   Date -> QDate, Time -> QTime, DateTime -> QDateTime, Boolean -> bool
// NULL gives an invalid QVariant; so does a date or time text that does not
// parse in FormatSettings::current(). An empty text is an empty string for
// the string-like kinds. `trimStrings` cuts trailing blanks and control
// characters of String values (Bytes are always cut).
// Raises EConvertError for a number, boolean or hex text that does not
// convert (or an integer out of the kind's range).
QVariant decodeValue(TODBCFieldKind kind, QByteArrayView text, bool trimStrings = false);

// Hex digits (either case), two per byte, to bytes. Raises EConvertError on an
// odd count or a character that is not a hex digit.
QByteArray hexToBytes(QByteArrayView hex);

// The text without trailing characters of code 0 to 32.
QByteArrayView trimTrailing(QByteArrayView text) noexcept;

} // namespace lystra
