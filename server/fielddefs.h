#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lystra {

class HostCodec;

// The type names a field definition carries, each with its row text form:
// strings as their characters, memo and blob as hexadecimal digits, integers
// and floating point numbers in decimal with "." as separator, dates and
// times in the server's date and time formats, booleans as True or False.
enum class WireType {
    String,
    Memo,
    Int16,
    Int32,
    Int64,
    Double,
    Currency,
    Date,
    Time,
    DateTime,
    Boolean,
    Bytes,
    Blob,
};

QByteArray wireTypeName(WireType type);

// Types whose field definition carries a size (characters or bytes).
bool hasSize(WireType type);

// One result column as its field definition describes it. Texts are Unicode
// here and encoded to the wire code page when the document is built.
struct ColumnInfo {
    QString name;
    WireType type = WireType::String;
    int size = 0;
    bool required = false;
    bool readOnly = false;
    QString origin; // "TABLE.COLUMN" when the column comes from a table
};

// The field-definition document, one line per element group: "<fielddefs>",
// one "<field>...</field>" line per column, "</fielddefs>". Element texts
// never hold "<" (it would end the text for the reader) nor control
// characters (a line break would split an inline reply); both become "_" and
// blanks. Lines are in the wire code page and carry no line ends.
QList<QByteArray> fieldDefsLines(const QList<ColumnInfo>& columns, const HostCodec& codec);

} // namespace lystra
