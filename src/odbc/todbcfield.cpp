#include "odbc/todbcfield.h"

#include "odbc/odbcerrors.h"
#include "odbc/txmlparser.h"
#include "platform/convert.h"
#include "platform/hostcodec.h"

namespace lystra {

namespace {

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

[[noreturn]] void raiseNoEndingTag(QByteArrayView element)
{
    throw EXMLParseException(QStringLiteral("Malformed request, tag\"") +
                             HostCodec::host().decode(element) +
                             QStringLiteral("\" has no ending tag:"));
}

void applyElement(TODBCResultField& entry, QByteArrayView element, const QByteArray& text)
{
    TODBCField& field = entry.field;
    if (sameName(element, "name")) {
        field.Name = text;
        entry.key = text;
    } else if (sameName(element, "size")) {
        field.Size = toInt(text);
    } else if (sameName(element, "required")) {
        field.Required = sameName(text, "true");
    } else if (sameName(element, "readonly")) {
        field.ReadOnly = sameName(text, "true");
    } else if (sameName(element, "datatype")) {
        field.DataType = text;
    } else if (sameName(element, "origin")) {
        field.Origin = text;
    }
    // Other elements are read and ignored.
}

// Reads the child elements of one "field" up to its "/field" tag.
TODBCResultField readField(TXMLParser& parser)
{
    TODBCResultField entry;
    entry.key = parser.Text();
    while (!parser.AtEnd()) {
        const QByteArray element = parser.NextTag();
        if (sameName(element, "/field"))
            return entry;
        const QByteArray text = parser.Text();
        // A document that ends right after an element's text was cut short:
        // the element is as unclosed as one followed by a foreign tag, and
        // its text may be incomplete, so it is not converted.
        if (parser.AtEnd())
            raiseNoEndingTag(element);
        applyElement(entry, element, text);
        if (!sameName(parser.NextTag(), QByteArray("/" + element)))
            raiseNoEndingTag(element);
    }
    raiseNoEndingTag("field");
}

} // namespace

TODBCFieldList readFieldDefs(QByteArrayView document)
{
    TXMLParser parser(document);
    if (!parser.FindTag("fielddefs"))
        throw EODBCError(QStringLiteral("Unknown fieldefs class"));
    TODBCFieldList fields;
    while (!parser.AtEnd()) {
        const QByteArray tag = parser.NextTag();
        if (sameName(tag, "/fielddefs"))
            return fields;
        if (sameName(tag, "field"))
            fields.append(readField(parser));
    }
    // Without its closing tag the list may be missing columns.
    raiseNoEndingTag("fielddefs");
}

} // namespace lystra
