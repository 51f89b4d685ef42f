#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace lystra {

// One result column as the server defines it in the field-definition
// document. Texts are wire text (host code page).
struct TODBCField {
    QByteArray Name;
    int Size = 0;
    bool Required = false;
    bool ReadOnly = false;
    QByteArray DataType; // the server's type name, see odbcvalue.h
    QByteArray Origin;   // where the column comes from, as the server states it
};

// An entry of the result's field list: the key is the "name" element's text
// (or the "field" element's own text when it has no name). Keys need not be
// unique: two columns named alike both stay.
struct TODBCResultField {
    QByteArray key;
    TODBCField field;
};

using TODBCFieldList = QList<TODBCResultField>;

// Reads the field definitions of a result set from the document the server
// sends after a 200 reply to "sql " or "exec ".
//
// Raises EODBCError "Unknown fieldefs class" when there is no "fielddefs"
// tag; EXMLParseException "Malformed request, tag\"<name>\" has no ending tag:"
// when an element is not closed by its own closing tag (also when the
// document ends inside a "field" element or before "/fielddefs", that is,
// when it was cut short); EConvertError when "size" is not a decimal integer.
TODBCFieldList readFieldDefs(QByteArrayView document);

} // namespace lystra
