#include "server/fielddefs.h"

#include "platform/hostcodec.h"

namespace lystra {

QByteArray wireTypeName(WireType type)
{
    switch (type) {
    case WireType::String: return QByteArrayLiteral("string");
    case WireType::Memo: return QByteArrayLiteral("memo");
    case WireType::Int16: return QByteArrayLiteral("int16");
    case WireType::Int32: return QByteArrayLiteral("int32");
    case WireType::Int64: return QByteArrayLiteral("int64");
    case WireType::Double: return QByteArrayLiteral("double");
    case WireType::Currency: return QByteArrayLiteral("currency");
    case WireType::Date: return QByteArrayLiteral("date");
    case WireType::Time: return QByteArrayLiteral("time");
    case WireType::DateTime: return QByteArrayLiteral("datetime");
    case WireType::Boolean: return QByteArrayLiteral("boolean");
    case WireType::Bytes: return QByteArrayLiteral("bytes");
    case WireType::Blob: return QByteArrayLiteral("blob");
    }
    return QByteArrayLiteral("string");
}

bool hasSize(WireType type)
{
    return type == WireType::String || type == WireType::Bytes;
}

namespace {

QByteArray elementText(const QString& text, const HostCodec& codec)
{
    QByteArray bytes = codec.encode(text);
    for (char& c : bytes) {
        if (c == '<')
            c = '_';
        else if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    }
    return bytes;
}

void appendElement(QByteArray& line, const char* name, const QByteArray& text)
{
    line.append('<').append(name).append('>');
    line.append(text);
    line.append("</").append(name).append('>');
}

QByteArray boolText(bool value)
{
    return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

} // namespace

QList<QByteArray> fieldDefsLines(const QList<ColumnInfo>& columns, const HostCodec& codec)
{
    QList<QByteArray> lines;
    lines.reserve(columns.size() + 2);
    lines.append(QByteArrayLiteral("<fielddefs>"));
    for (const ColumnInfo& column : columns) {
        QByteArray line = QByteArrayLiteral("<field>");
        appendElement(line, "name", elementText(column.name, codec));
        appendElement(line, "size", QByteArray::number(column.size));
        appendElement(line, "required", boolText(column.required));
        appendElement(line, "readonly", boolText(column.readOnly));
        appendElement(line, "datatype", wireTypeName(column.type));
        appendElement(line, "origin", elementText(column.origin, codec));
        line.append("</field>");
        lines.append(line);
    }
    lines.append(QByteArrayLiteral("</fielddefs>"));
    return lines;
}

} // namespace lystra
