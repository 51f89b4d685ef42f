#pragma once

#include "db/dbtypes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QVariant>

namespace lystra {

// The native forms of field values inside record buffers.
//
// A slot holds one field's value: strings NUL-terminated within the slot;
// small integers, words and booleans (0/1) as 2 little-endian bytes; integers,
// auto-increments, dates (day number) and times (milliseconds since
// midnight) as 4; floats, currency and BCD as an 8-byte IEEE double; large
// integers as 8; a date-time as an 8-byte double of milliseconds of the time
// stamp (day number * 86 400 000 + milliseconds of the day); bytes raw;
// blob types a 4-byte 1-based index into the blob store (0 for none).
//
// Values travel as QVariant: QByteArray for strings, bytes and blobs (host
// text / raw bytes), int, qint64, double, bool, QDate, QTime, QDateTime.
// An invalid or null QVariant is NULL.
namespace fieldbuffer {

// Bytes a field's slot occupies (not counting its presence flag).
int slotWidth(TFieldType type, int size) noexcept;

// Bytes of the slot that hold the value: the slot width, or the declared size
// for a wide string.
int dataSize(TFieldType type, int size) noexcept;

// Day number of a date: 1 for 0001-01-01. Invalid dates give 0.
int dayNumber(QDate date) noexcept;
QDate dateOfDayNumber(int day);
double timeStamp(const QDateTime& dateTime) noexcept;
QDateTime dateTimeOfTimeStamp(double milliseconds);

// Reads the value of a non-blob slot of `dataSize` bytes.
QVariant read(TFieldType type, const char* slot, int dataSize);

// Writes `value` (not NULL) into a non-blob slot of `dataSize` bytes, first
// converting it to the field's type (texts are parsed in the current
// FormatSettings). Strings longer than the slot are cut so that the slot
// stays NUL-terminated. Raises EConvertError for a value that does not
// convert.
void write(TFieldType type, const QVariant& value, char* slot, int dataSize);

// Converts a value to the QVariant form of `type` (as write would store it).
QVariant convert(TFieldType type, const QVariant& value);

// The value as host text, as a field shows it: numbers with the locale's
// decimal separator, dates and times in the locale's formats, booleans
// "True"/"False", NULL as an empty text.
QByteArray displayText(const QVariant& value);

} // namespace fieldbuffer

} // namespace lystra
