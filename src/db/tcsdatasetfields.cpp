// Field values of TcsDataset: reading and writing slots, blob streams,
// locating records.

#include "db/fieldbuffer.h"
#include "db/tcsdataset.h"
#include "platform/hostcodec.h"

#include <QBuffer>
#include <QtEndian>

#include <cstring>

namespace lystra {

namespace {

bool writableState(TDataSetState state)
{
    switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
        return true;
    default:
        return false;
    }
}

} // namespace

int TcsDataset::FieldOffset(const TField& field) const
{
    if (field.Calculated())
        return m_dataSize + field.CalcOffset();
    return m_fieldOffsets.value(field.FieldNo() - 1, -1);
}

QVariant TcsDataset::GetFieldValue(const TField& field, const char* buffer) const
{
    const int offset = FieldOffset(field);
    if (offset < 0 || buffer[offset] == 0)
        return {};
    const char* slot = buffer + offset + 1;
    if (field.IsBlob()) {
        const qint32 index = qFromLittleEndian<qint32>(slot);
        return m_blobStore != nullptr ? m_blobStore->Get(index) : QByteArray();
    }
    return fieldbuffer::read(field.DataType(), slot, field.DataSize());
}

void TcsDataset::SetFieldValue(TField& field, const QVariant& value)
{
    const TDataSetState state = State();
    if (!writableState(state))
        DatabaseError(QStringLiteral("Dataset not in edit mode."));
    if (!field.Calculated() && (state == dsCalcFields || state == dsInternalCalc))
        DatabaseError(QStringLiteral("Dataset not in edit mode."));
    if (field.ReadOnly() && state != dsSetKey && state != dsFilter)
        DatabaseError(QStringLiteral("Field '%1' is read-only").arg(field.DisplayName()));
    char* buffer = StateBuffer();
    const int offset = FieldOffset(field);
    if (buffer == nullptr || offset < 0)
        DatabaseError(QStringLiteral("Dataset not in edit mode."));

    const bool present = value.isValid();
    buffer[offset] = present ? 1 : 0;
    char* slot = buffer + offset + 1;
    if (field.IsBlob()) {
        // A new store entry each time: the cached record keeps pointing at the
        // old value until the record is posted, so Cancel restores it.
        const qint32 index = present && m_blobStore != nullptr ? m_blobStore->Add(value.toByteArray()) : 0;
        qToLittleEndian<qint32>(index, slot);
        return;
    }
    const int size = fieldbuffer::slotWidth(field.DataType(), field.Size());
    if (!present) {
        std::memset(slot, 0, static_cast<size_t>(size));
        return;
    }
    if (isStringType(field.DataType()) && m_queryOptions.contains(TrimAllStrings))
        fieldbuffer::write(field.DataType(), trimTrailingBlanks(value.toByteArray()), slot, size);
    else
        fieldbuffer::write(field.DataType(), value, slot, size);
}

void TcsDataset::ClearCalcFields(char* buffer) const
{
    std::memset(buffer + m_dataSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

bool TcsDataset::GetCanModify()
{
    return m_updateObject != nullptr || m_queryOptions.contains(LocalEdit)
        || (m_updateParams != nullptr && !m_updateParams->TableName.isEmpty());
}

// ---- blob streams ----------------------------------------------------------------

// A stream over a copy of a blob value. A stream opened for writing puts its
// whole content back into the field when it is closed (an empty stream makes
// the field NULL); an error at that point goes to the error handler, since
// closing cannot raise. A stream outliving its dataset's open state writes
// nothing.
class TcsDataset::BlobStream : public QBuffer {
public:
    BlobStream(TcsDataset& dataset, TField& field, bool writing)
        : m_dataset(&dataset)
        , m_field(&field)
        , m_writing(writing)
    {
        dataset.m_blobStreams.append(this);
    }

    ~BlobStream() override
    {
        BlobStream::close();
        if (m_dataset != nullptr)
            m_dataset->m_blobStreams.removeOne(this);
    }

    // The dataset closes: the stream keeps its bytes but writes nothing back.
    void Detach()
    {
        m_dataset = nullptr;
        m_writing = false;
    }

    void close() override
    {
        if (m_writing && isOpen() && m_dataset != nullptr) {
            m_writing = false;
            try {
                const QByteArray& bytes = buffer();
                m_field->SetValue(bytes.isEmpty() ? QVariant() : QVariant(bytes));
            } catch (const std::exception& error) {
                TDataSet::HandleException(error);
            }
        }
        QBuffer::close();
    }

private:
    TcsDataset* m_dataset;
    TField* m_field;
    bool m_writing;
};

void TcsDataset::DetachBlobStreams()
{
    const QList<BlobStream*> streams = m_blobStreams;
    m_blobStreams.clear();
    for (BlobStream* stream : streams)
        stream->Detach();
}

std::unique_ptr<QIODevice> TcsDataset::CreateBlobStream(TField& field, TBlobStreamMode mode)
{
    if (mode != bmRead) {
        if (field.ReadOnly())
            DatabaseError(QStringLiteral("Field '%1' is read-only").arg(field.DisplayName()));
        if (State() != dsEdit && State() != dsInsert)
            DatabaseError(QStringLiteral("Dataset not in edit mode."));
    }
    auto stream = std::make_unique<BlobStream>(*this, field, mode != bmRead);
    if (mode != bmWrite)
        stream->setData(field.Value().toByteArray());
    stream->open(mode == bmRead ? QIODevice::ReadOnly : QIODevice::ReadWrite);
    return stream;
}

// ---- locate and lookup -----------------------------------------------------------

namespace {

struct SearchKey {
    const TField* field;
    QVariant value; // in the field's QVariant form; invalid = NULL
    QByteArray slot;
};

bool matches(const SearchKey& key, const QVariant& fieldValue, TLocateOptions options)
{
    if (!key.value.isValid() || !fieldValue.isValid())
        return key.value.isValid() == fieldValue.isValid();
    if (isStringType(key.field->DataType())) {
        const QByteArray wanted = key.value.toByteArray();
        QByteArray text = fieldValue.toByteArray();
        if (options.contains(loPartialKey))
            text.truncate(wanted.size());
        if (options.contains(loCaseInsensitive)) {
            const HostCodec& codec = HostCodec::host();
            return codec.decode(text).compare(codec.decode(wanted), Qt::CaseInsensitive) == 0;
        }
        return text == wanted;
    }
    if (key.field->IsBlob())
        return fieldValue.toByteArray() == key.value.toByteArray();
    // Other types compare their native bytes.
    QByteArray slot(key.slot.size(), '\0');
    fieldbuffer::write(key.field->DataType(), fieldValue, slot.data(), static_cast<int>(slot.size()));
    return slot == key.slot;
}

} // namespace

int TcsDataset::FindMatching(const QString& keyFields, const QVariant& keyValues, TLocateOptions options,
                             char* buffer)
{
    CheckBrowseMode();
    QList<SearchKey> keys;
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    QVariantList values;
    if (names.size() == 1)
        values = {keyValues.typeId() == QMetaType::QVariantList && keyValues.toList().size() == 1
                      ? keyValues.toList().first()
                      : keyValues};
    else
        values = keyValues.toList();
    if (values.size() != names.size())
        DatabaseError(QStringLiteral("Wrong number of key values for '%1'").arg(keyFields));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const TField& field = FieldByName(names.at(i).trimmed());
        SearchKey key{&field, fieldbuffer::convert(field.DataType(), values.at(i)), {}};
        if (!field.IsBlob() && !isStringType(field.DataType()) && key.value.isValid()) {
            key.slot = QByteArray(field.DataSize(), '\0');
            fieldbuffer::write(field.DataType(), key.value, key.slot.data(), field.DataSize());
        }
        keys.append(key);
    }
    for (int index = 1;; ++index) {
        while (index > m_cachedCount) {
            if (m_allFetched || !FetchOne())
                return 0;
        }
        ReadCached(index, buffer);
        GetCalcFields(buffer);
        if (HasFilter() && !FilterRecord(buffer))
            continue;
        bool all = true;
        for (const SearchKey& key : std::as_const(keys)) {
            if (!matches(key, GetFieldValue(*key.field, buffer), options)) {
                all = false;
                break;
            }
        }
        if (all)
            return index;
    }
}

bool TcsDataset::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options)
{
    std::vector<char> buffer(static_cast<size_t>(m_recordSize));
    const int index = FindMatching(keyFields, keyValues, options, buffer.data());
    if (index == 0)
        return false;
    SetRecNo(index);
    return true;
}

QVariant TcsDataset::Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultFields)
{
    std::vector<char> buffer(static_cast<size_t>(m_recordSize));
    const int index = FindMatching(keyFields, keyValues, {}, buffer.data());
    if (index == 0)
        return {};
    const QStringList names = resultFields.split(u';', Qt::SkipEmptyParts);
    QVariantList result;
    for (const QString& name : names)
        result.append(GetFieldValue(FieldByName(name.trimmed()), buffer.data()));
    return result.size() == 1 ? result.first() : QVariant(result);
}

} // namespace lystra
