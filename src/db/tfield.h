#pragma once

#include "db/dbtypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace lystra {

class TDataSet;

// The definition of one result column as the driver reports it.
struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    bool Required = false;
    bool ReadOnly = false;
    int FieldNo = 0; // 1-based column position
};

using TFieldDefs = QList<TFieldDef>;

// One field of a dataset: a data field bound to a result column, or a
// calculated field whose value OnCalcFields sets. A field reads and writes
// the record the dataset's state selects (the current record while browsing
// or editing, the candidate record while filtering, the record being
// calculated). Values are described in db/fieldbuffer.h; strings are host
// text. Reading a NULL value gives an invalid QVariant, an empty text, 0 or
// false.
//
// Fields are owned by their dataset. Persistent fields are created by the
// caller before the dataset opens (TDataSet::AddField); without them the
// dataset creates one data field per column when it opens and drops them
// when it closes.
class TField {
public:
    TField(QString fieldName, TFieldType dataType, int size = 0, TFieldKind kind = fkData);
    ~TField();

    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const QString& FieldName() const noexcept { return m_fieldName; }
    QString DisplayName() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void SetDisplayLabel(QString label) { m_displayLabel = std::move(label); }
    TFieldType DataType() const noexcept { return m_dataType; }
    int Size() const noexcept { return m_size; }
    TFieldKind FieldKind() const noexcept { return m_kind; }
    bool Calculated() const noexcept { return m_kind != fkData; }
    bool IsBlob() const noexcept { return isBlobType(m_dataType); }
    // Column position (1-based) of a bound data field; 0 for calculated ones.
    int FieldNo() const noexcept { return m_fieldNo; }
    bool ReadOnly() const noexcept { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool Required() const noexcept { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    const QByteArray& Origin() const noexcept { return m_origin; }
    void SetOrigin(QByteArray origin) { m_origin = std::move(origin); }
    TDataSet* DataSet() const noexcept { return m_dataSet; }
    // Bytes of the value in the record buffer (db/fieldbuffer.h).
    int DataSize() const noexcept;
    // Offset of a calculated field's presence flag within the calculated area.
    int CalcOffset() const noexcept { return m_calcOffset; }

    bool IsNull() const;
    QVariant Value() const;
    // Sets the value, converting it to the field's type; an invalid QVariant
    // sets NULL. Raises EConvertError for a value that does not convert.
    void SetValue(const QVariant& value);
    void Clear() { SetValue(QVariant()); }

    QByteArray AsString() const;
    void SetAsString(const QByteArray& text) { SetValue(text); }
    int AsInteger() const;
    void SetAsInteger(int value) { SetValue(value); }
    qint64 AsLargeInt() const;
    void SetAsLargeInt(qint64 value) { SetValue(value); }
    double AsFloat() const;
    void SetAsFloat(double value) { SetValue(value); }
    bool AsBoolean() const;
    void SetAsBoolean(bool value) { SetValue(value); }
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime& value) { SetValue(value); }

    // The value before the current edit (NULL in a new record); the current
    // value while browsing.
    QVariant OldValue() const;
    // The value assigned during the current edit or insert; an invalid
    // QVariant when the field was not assigned.
    QVariant NewValue() const;
    // Assigned during the current edit or insert.
    bool Assigned() const noexcept { return m_assigned; }
    // A blob field's modified flag: its value was written since the edit began.
    bool Modified() const noexcept { return m_modified; }

    // A stream over a blob field's value (db/tdataset.h, CreateBlobStream).
    std::unique_ptr<QIODevice> CreateBlobStream(TBlobStreamMode mode);

private:
    friend class TDataSet;

    QString m_fieldName;
    QString m_displayLabel;
    TFieldType m_dataType;
    int m_size;
    TFieldKind m_kind;
    int m_fieldNo = 0;
    int m_calcOffset = 0;
    bool m_readOnly = false;
    bool m_required = false;
    bool m_assigned = false;
    bool m_modified = false;
    QByteArray m_origin;
    TDataSet* m_dataSet = nullptr;
};

} // namespace lystra
