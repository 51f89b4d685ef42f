// Writing a TcsDataset's edits back: posting and deleting records through an
// update object or generated statements, and keeping the record cache in
// step.

#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tsqlupdate.h"
#include "platform/screencursor.h"

#include <QtEndian>

namespace lystra {

namespace {

const QString kNoRowsAffected = QStringLiteral("Update failed. No rows where affected by transaction.");

QByteArray trimTrailingControls(QByteArray text)
{
    qsizetype n = text.size();
    while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= ' ')
        --n;
    text.truncate(n);
    return text;
}

} // namespace

void TcsDataset::TrimStringFields()
{
    const bool blankToNull = m_queryOptions.contains(ConvertBlankToNull);
    for (const auto& field : FieldList()) {
        if (field->Calculated() || field->ReadOnly() || !isStringType(field->DataType()) || field->IsNull())
            continue;
        const QByteArray value = field->AsString();
        const QByteArray trimmed = trimTrailingControls(value);
        if (trimmed != value)
            field->SetAsString(trimmed);
        if (blankToNull && trimmed.trimmed().isEmpty())
            field->Clear();
    }
}

void TcsDataset::RaiseUpdateError(TUpdateKind kind, EDatabaseError& error)
{
    if (OnUpdateError) {
        TUpdateAction action = uaFail;
        OnUpdateError(*this, error, kind, action);
        if (action == uaAbort)
            throw EAbort();
    }
}

void TcsDataset::ApplyGeneratedStatement(TUpdateKind kind)
{
    const QByteArrayList lines = sqlupdate::statementLines(kind, *m_updateParams, *this,
                                                           m_queryOptions.contains(SuppressNullsOnInsert));
    if (lines.isEmpty())
        return;
    TParams params;
    const QByteArray statement = params.ParseSQL(sqlupdate::joinLines(lines), true);
    for (TParam& param : params) {
        if (param.Name.startsWith(u"OLD_", Qt::CaseInsensitive)) {
            const TField& field = FieldByName(QStringView(param.Name).sliced(4));
            param.AssignFieldValue(field, field.OldValue());
        } else {
            param.AssignField(FieldByName(param.Name));
        }
    }
    TcsCustomDatabase& database = ResolveDatabase();
    int rows = 0;
    try {
        rows = database.Execute(statement, &params, nullptr);
    } catch (const EAbort&) {
        throw;
    } catch (const Exception& failure) {
        EDatabaseError error(failure.message());
        RaiseUpdateError(kind, error);
        throw;
    }
    if (rows < 1) {
        EDatabaseError error(kNoRowsAffected);
        RaiseUpdateError(kind, error);
        throw error;
    }
}

void TcsDataset::ApplyUpdates(TUpdateKind kind)
{
    SqlWaitCursorGuard cursor(m_linkedDatabase == nullptr || m_linkedDatabase->ShowHourglass());
    if (m_updateObject != nullptr) {
        try {
            m_updateObject->Apply(kind);
        } catch (EcsSQLError& error) {
            // A generated statement reports its failures itself, once.
            if (kind != ukDelete)
                RaiseUpdateError(kind, error);
            throw;
        }
    } else if (m_updateParams != nullptr && !m_updateParams->TableName.isEmpty())
        ApplyGeneratedStatement(kind);
}

void TcsDataset::StoreEditedRecord(TUpdateKind kind)
{
    char* record = ActiveBuffer();
    if (kind == ukModify) {
        m_recordCache->Put(m_currentRecord, record);
        return;
    }
    const bool atEnd = GetBookmarkFlag(record) == bfEOF || m_currentRecord < 1 || m_currentRecord > m_cachedCount;
    ++m_lastRecordId;
    qToLittleEndian<qint32>(m_lastRecordId, record + BookmarkOffset());
    SetBookmarkFlag(record, bfCurrent);
    m_currentRecord = atEnd ? m_recordCache->Append(record) : m_recordCache->Insert(m_currentRecord, record);
    ++m_cachedCount;
}

void TcsDataset::InternalPost()
{
    const TUpdateKind kind = State() == dsEdit ? ukModify : ukInsert;
    if (!m_allFetched) {
        SqlWaitCursorGuard cursor(m_linkedDatabase == nullptr || m_linkedDatabase->ShowHourglass());
        FetchAll();
    }
    TrimStringFields();
    if (!m_queryOptions.contains(LocalEdit)) {
        if (OnUpdateRecord) {
            TUpdateAction action = uaFail;
            OnUpdateRecord(*this, kind, action);
            if (action == uaFail)
                throw EAbort();
        }
        ApplyUpdates(kind);
    }
    if (kind == ukModify)
        InternalSetToRecord(ActiveBuffer());
    StoreEditedRecord(kind);
    if (OnPost) {
        OnPost(*this);
        m_recordCache->Put(m_currentRecord, ActiveBuffer());
    }
}

void TcsDataset::InternalDelete()
{
    if (!m_allFetched) {
        SqlWaitCursorGuard cursor(m_linkedDatabase == nullptr || m_linkedDatabase->ShowHourglass());
        FetchAll();
    }
    if (OnUpdateRecord) {
        TUpdateAction action = uaFail;
        OnUpdateRecord(*this, ukDelete, action);
        if (action == uaFail)
            throw EAbort();
    } else if (!m_queryOptions.contains(LocalEdit)) {
        ApplyUpdates(ukDelete);
    }
    m_recordCache->Delete(m_currentRecord);
    --m_cachedCount;
    if (m_currentRecord > m_cachedCount)
        m_currentRecord = std::max(m_cachedCount, 0);
}

} // namespace lystra
