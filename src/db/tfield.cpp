#include "db/tfield.h"

#include "db/fieldbuffer.h"
#include "db/tdataset.h"

namespace lystra {

TField::TField(QString fieldName, TFieldType dataType, int size, TFieldKind kind)
    : m_fieldName(std::move(fieldName))
    , m_dataType(dataType)
    , m_size(size)
    , m_kind(kind)
{
}

TField::~TField() = default;

int TField::DataSize() const noexcept
{
    return fieldbuffer::dataSize(m_dataType, m_size);
}

QVariant TField::Value() const
{
    return m_dataSet != nullptr ? m_dataSet->ReadFieldValue(*this) : QVariant();
}

bool TField::IsNull() const
{
    return !Value().isValid();
}

void TField::SetValue(const QVariant& value)
{
    if (m_dataSet == nullptr)
        return;
    m_dataSet->WriteFieldValue(*this, value);
}

QByteArray TField::AsString() const
{
    return fieldbuffer::displayText(Value());
}

int TField::AsInteger() const
{
    const QVariant value = Value();
    return value.isValid() ? fieldbuffer::convert(ftInteger, value).toInt() : 0;
}

qint64 TField::AsLargeInt() const
{
    const QVariant value = Value();
    return value.isValid() ? fieldbuffer::convert(ftLargeint, value).toLongLong() : 0;
}

double TField::AsFloat() const
{
    const QVariant value = Value();
    return value.isValid() ? fieldbuffer::convert(ftFloat, value).toDouble() : 0.0;
}

bool TField::AsBoolean() const
{
    const QVariant value = Value();
    return value.isValid() && fieldbuffer::convert(ftBoolean, value).toBool();
}

QDateTime TField::AsDateTime() const
{
    const QVariant value = Value();
    return value.isValid() ? fieldbuffer::convert(ftDateTime, value).toDateTime() : QDateTime();
}

QVariant TField::OldValue() const
{
    return m_dataSet != nullptr ? m_dataSet->ReadFieldValue(*this, dsOldValue) : QVariant();
}

QVariant TField::NewValue() const
{
    if (m_dataSet == nullptr || !m_assigned)
        return {};
    return m_dataSet->ReadFieldValue(*this, dsNewValue);
}

std::unique_ptr<QIODevice> TField::CreateBlobStream(TBlobStreamMode mode)
{
    if (m_dataSet == nullptr)
        return {};
    return m_dataSet->CreateBlobStream(*this, mode);
}

} // namespace lystra
