#include "db/tparams.h"

#include "db/edatabaseerror.h"
#include "db/fieldbuffer.h"
#include "db/tfield.h"
#include "platform/hostcodec.h"

namespace lystra {

namespace {

TFieldType typeOfVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QByteArray:
    case QMetaType::QString:
        return ftString;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UInt:
        return ftInteger;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return ftLargeint;
    case QMetaType::Double:
    case QMetaType::Float:
        return ftFloat;
    case QMetaType::Bool:
        return ftBoolean;
    case QMetaType::QDate:
        return ftDate;
    case QMetaType::QTime:
        return ftTime;
    case QMetaType::QDateTime:
        return ftDateTime;
    default:
        return ftUnknown;
    }
}

bool isNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == '$' || c == '#' || u >= 128;
}

} // namespace

void TParam::SetValue(const QVariant& value)
{
    if (DataType == ftUnknown)
        DataType = typeOfVariant(value);
    Value = value.typeId() == QMetaType::QString ? QVariant(HostCodec::host().encode(value.toString())) : value;
}

void TParam::AssignField(const TField& field)
{
    AssignFieldValue(field, field.Value());
}

void TParam::AssignFieldValue(const TField& field, const QVariant& value)
{
    DataType = field.DataType();
    Value = value;
}

TFieldType TParam::EffectiveType() const
{
    return DataType != ftUnknown ? DataType : typeOfVariant(Value);
}

QByteArray TParam::AsText() const
{
    if (IsNull())
        return QByteArray(1, '\xff');
    const TFieldType type = EffectiveType();
    const QVariant value = fieldbuffer::convert(type == ftUnknown ? ftString : type, Value);
    switch (value.typeId()) {
    case QMetaType::Double:
        return QByteArray::number(value.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return value.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss")).toLatin1();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    case QMetaType::QByteArray:
        return isBlobType(type) && type != ftMemo && type != ftFmtMemo && type != ftOraClob
            ? value.toByteArray().toHex().toUpper()
            : value.toByteArray();
    default:
        return fieldbuffer::displayText(value);
    }
}

TParam* TParams::FindParam(QStringView name)
{
    for (TParam& param : m_items) {
        if (param.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &param;
    }
    return nullptr;
}

const TParam* TParams::FindParam(QStringView name) const
{
    return const_cast<TParams*>(this)->FindParam(name);
}

TParam& TParams::ParamByName(QStringView name)
{
    if (TParam* param = FindParam(name))
        return *param;
    DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

void TParams::SetParamValue(QStringView name, const QVariant& value)
{
    bool found = false;
    for (TParam& param : m_items) {
        if (param.Name.compare(name, Qt::CaseInsensitive) == 0) {
            param.SetValue(value);
            found = true;
        }
    }
    if (!found)
        DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

TParam& TParams::AddParam(TParam param)
{
    m_items.append(std::move(param));
    return m_items.last();
}

void TParams::AssignValues(const TParams& source)
{
    for (TParam& param : m_items) {
        if (const TParam* old = source.FindParam(param.Name)) {
            param.DataType = old->DataType;
            param.Value = old->Value;
        }
    }
}

QByteArray TParams::ParseSQL(QByteArrayView sql, bool doCreate)
{
    QByteArray result;
    result.reserve(sql.size());
    char quote = 0;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            result.append(c);
            ++i;
        } else if (c == '\'' || c == '"') {
            quote = c;
            result.append(c);
            ++i;
        } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            result.append(':');
            i += 2;
        } else if (c == ':' && i + 1 < n && isNameChar(sql[i + 1])) {
            qsizetype end = i + 1;
            while (end < n && isNameChar(sql[end]))
                ++end;
            if (doCreate)
                AddParam(TParam(HostCodec::host().decode(sql.sliced(i + 1, end - i - 1))));
            result.append('?');
            i = end;
        } else {
            result.append(c);
            ++i;
        }
    }
    return result;
}

} // namespace lystra
