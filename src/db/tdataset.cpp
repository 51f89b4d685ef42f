#include "db/tdataset.h"

#include "db/edatabaseerror.h"
#include "db/fieldbuffer.h"

#include <QDebug>

#include <cstring>

namespace lystra {

namespace {

TDataSet::ErrorHandler& errorHandler()
{
    static TDataSet::ErrorHandler handler;
    return handler;
}

} // namespace

// Switches the state for a moment (to read or compute a record other than the
// active one) and restores it on every path.
class TDataSet::TempState {
public:
    TempState(TDataSet& dataSet, TDataSetState state)
        : m_dataSet(dataSet)
        , m_saved(dataSet.m_state)
    {
        m_dataSet.m_state = state;
    }
    ~TempState() { m_dataSet.m_state = m_saved; }

    TempState(const TempState&) = delete;
    TempState& operator=(const TempState&) = delete;

private:
    TDataSet& m_dataSet;
    TDataSetState m_saved;
};

TDataSet::TDataSet() = default;

TDataSet::~TDataSet()
{
    for (TDataSource* source : std::as_const(m_dataSources))
        source->m_dataSet = nullptr;
}

// ---- opening and closing ---------------------------------------------------

void TDataSet::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active)
        OpenCursor();
    else
        CloseCursor();
}

void TDataSet::OpenCursor()
{
    Fire(BeforeOpen);
    try {
        InternalOpen();
        AllocateBuffers();
    } catch (...) {
        InternalClose();
        DestroyFields();
        throw;
    }
    SetState(dsBrowse);
    m_modified = false;
    InternalFirst();
    m_hasRecord = GetRecord(m_active.data(), gmNext, true) == grOK;
    m_bof = true;
    m_eof = !m_hasRecord;
    Fire(AfterOpen);
    NotifyDataSources(deDataSetChange);
}

void TDataSet::CloseCursor()
{
    Fire(BeforeClose);
    SetState(dsInactive);
    m_hasRecord = false;
    m_bof = m_eof = true;
    m_modified = false;
    InternalClose();
    DestroyFields();
    m_active.clear();
    m_old.clear();
    m_saved.clear();
    Fire(AfterClose);
    NotifyDataSources(deDataSetChange);
}

void TDataSet::AllocateBuffers()
{
    const auto size = static_cast<size_t>(RecordSize());
    m_active.assign(size, 0);
    m_old.assign(size, 0);
    m_saved.assign(size, 0);
}

void TDataSet::SetState(TDataSetState state)
{
    if (state == m_state)
        return;
    m_state = state;
    NotifyDataSources(deUpdateState);
}

void TDataSet::CheckActive() const
{
    if (!Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

// ---- fields ----------------------------------------------------------------

TField& TDataSet::AddField(const QString& name, TFieldType type, int size, TFieldKind kind)
{
    if (Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (FindField(name) != nullptr)
        DatabaseError(QStringLiteral("Duplicate field name '%1'").arg(name));
    auto field = std::make_unique<TField>(name, type, size, kind);
    field->m_dataSet = this;
    m_fields.push_back(std::move(field));
    return *m_fields.back();
}

TField* TDataSet::FindField(QStringView name) const
{
    for (const auto& field : m_fields) {
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    }
    return nullptr;
}

TField& TDataSet::FieldByName(QStringView name) const
{
    if (TField* field = FindField(name))
        return *field;
    DatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

void TDataSet::CreateAndBindFields()
{
    if (m_fields.empty()) {
        for (const TFieldDef& def : std::as_const(m_fieldDefs)) {
            auto field = std::make_unique<TField>(def.Name, def.DataType, def.Size);
            field->m_dataSet = this;
            m_fields.push_back(std::move(field));
        }
        m_defaultFields = true;
    }
    m_calcFieldsSize = 0;
    for (const auto& field : m_fields) {
        if (field->Calculated()) {
            field->m_calcOffset = m_calcFieldsSize;
            m_calcFieldsSize += 1 + fieldbuffer::slotWidth(field->DataType(), field->Size());
            continue;
        }
        const TFieldDef* def = nullptr;
        for (const TFieldDef& candidate : std::as_const(m_fieldDefs)) {
            if (candidate.Name.compare(field->FieldName(), Qt::CaseInsensitive) == 0) {
                def = &candidate;
                break;
            }
        }
        if (def == nullptr)
            DatabaseError(QStringLiteral("Field '%1' not found").arg(field->FieldName()));
        if (def->DataType != field->DataType())
            DatabaseError(QStringLiteral("Type mismatch for field '%1'").arg(field->FieldName()));
        // The slot is laid out by the column's declared size.
        field->m_size = def->Size;
        field->m_fieldNo = def->FieldNo;
        if (def->ReadOnly)
            field->m_readOnly = true;
        field->m_required = def->Required;
    }
}

void TDataSet::DestroyFields()
{
    if (m_defaultFields) {
        m_fields.clear();
        m_defaultFields = false;
    }
    for (const auto& field : m_fields) {
        if (!field->Calculated())
            field->m_fieldNo = 0;
        field->m_assigned = field->m_modified = false;
    }
    m_calcFieldsSize = 0;
}

const char* TDataSet::StateBuffer(TDataSetState state) const
{
    switch (state) {
    case dsBrowse:
        return m_hasRecord ? m_active.data() : nullptr;
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsSetKey:
        return m_active.data();
    case dsOldValue:
        if (m_state == dsEdit || m_state == dsInsert)
            return m_old.data();
        return m_hasRecord ? m_active.data() : nullptr;
    case dsCalcFields:
    case dsInternalCalc:
        return m_calcBuffer;
    case dsFilter:
        return m_filterBuffer;
    default:
        return nullptr;
    }
}

char* TDataSet::StateBuffer()
{
    return const_cast<char*>(StateBuffer(m_state));
}

QVariant TDataSet::ReadFieldValue(const TField& field, TDataSetState state) const
{
    const char* buffer = StateBuffer(state == dsInactive ? m_state : state);
    if (buffer == nullptr)
        return {};
    return GetFieldValue(field, buffer);
}

void TDataSet::WriteFieldValue(TField& field, const QVariant& value)
{
    CheckActive();
    const QVariant converted = fieldbuffer::convert(field.DataType(), value);
    SetFieldValue(field, converted);
    if (m_state == dsCalcFields || m_state == dsFilter || m_state == dsNewValue || m_state == dsInternalCalc)
        return;
    field.m_assigned = true;
    if (field.IsBlob())
        field.m_modified = true;
    m_modified = true;
    if (m_autoCalcFields && m_calcFieldsSize > 0 && !field.Calculated())
        GetCalcFields(m_active.data());
}

std::unique_ptr<QIODevice> TDataSet::CreateBlobStream(TField&, TBlobStreamMode)
{
    DatabaseError(QStringLiteral("Blob streams are not supported by this dataset"));
}

void TDataSet::GetCalcFields(char* buffer)
{
    if (m_calcFieldsSize == 0)
        return;
    char* saved = m_calcBuffer;
    m_calcBuffer = buffer;
    TempState temp(*this, dsCalcFields);
    ClearCalcFields(buffer);
    try {
        Fire(OnCalcFields);
    } catch (...) {
        m_calcBuffer = saved;
        throw;
    }
    m_calcBuffer = saved;
}

bool TDataSet::FilterRecord(char* buffer)
{
    char* saved = m_filterBuffer;
    m_filterBuffer = buffer;
    TempState temp(*this, dsFilter);
    bool accept = true;
    try {
        OnFilterRecord(*this, accept);
    } catch (...) {
        m_filterBuffer = saved;
        throw;
    }
    m_filterBuffer = saved;
    return accept;
}

void TDataSet::SetFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    m_filtered = filtered;
    if (Active()) {
        CheckBrowseMode();
        First();
    }
}

// ---- navigation ------------------------------------------------------------

void TDataSet::UpdateCursorPos()
{
    if (m_hasRecord)
        InternalSetToRecord(m_active.data());
}

void TDataSet::Resync()
{
    std::vector<char> buffer(m_active.size());
    for (TGetMode mode : {gmCurrent, gmNext, gmPrior}) {
        if (GetRecord(buffer.data(), mode, false) == grOK) {
            m_active.swap(buffer);
            m_hasRecord = true;
            m_bof = m_eof = false;
            NotifyDataSources(deDataSetChange);
            return;
        }
    }
    m_hasRecord = false;
    m_bof = m_eof = true;
    NotifyDataSources(deDataSetChange);
}

void TDataSet::First()
{
    CheckBrowseMode();
    Fire(BeforeScroll);
    InternalFirst();
    m_hasRecord = GetRecord(m_active.data(), gmNext, true) == grOK;
    m_bof = true;
    m_eof = !m_hasRecord;
    NotifyDataSources(deDataSetScroll);
    Fire(AfterScroll);
}

void TDataSet::Last()
{
    CheckBrowseMode();
    Fire(BeforeScroll);
    InternalLast();
    m_hasRecord = GetRecord(m_active.data(), gmPrior, true) == grOK;
    m_eof = true;
    m_bof = !m_hasRecord;
    NotifyDataSources(deDataSetScroll);
    Fire(AfterScroll);
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    if (distance == 0 || (distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    Fire(BeforeScroll);
    UpdateCursorPos();
    std::vector<char> buffer(m_active.size());
    int moved = 0;
    const TGetMode mode = distance > 0 ? gmNext : gmPrior;
    while (moved != distance) {
        if (GetRecord(buffer.data(), mode, true) != grOK) {
            (distance > 0 ? m_eof : m_bof) = true;
            break;
        }
        m_active.swap(buffer);
        m_hasRecord = true;
        (distance > 0 ? m_bof : m_eof) = false;
        moved += distance > 0 ? 1 : -1;
    }
    NotifyDataSources(deDataSetScroll);
    Fire(AfterScroll);
    return moved;
}

int TDataSet::RecordCount()
{
    CheckActive();
    return GetRecordCount();
}

int TDataSet::RecNo()
{
    if (!Active())
        return -1;
    if (m_state == dsBrowse || m_state == dsEdit)
        UpdateCursorPos();
    return GetRecNo();
}

void TDataSet::SetRecNo(int recNo)
{
    CheckBrowseMode();
    Fire(BeforeScroll);
    InternalSetRecNo(recNo);
    Resync();
    Fire(AfterScroll);
}

TBookmark TDataSet::GetBookmark()
{
    if (!Active() || !m_hasRecord || GetBookmarkFlag(m_active.data()) != bfCurrent)
        return {};
    return GetBookmarkData(m_active.data());
}

void TDataSet::GotoBookmark(const TBookmark& bookmark)
{
    if (bookmark.isEmpty())
        return;
    CheckBrowseMode();
    Fire(BeforeScroll);
    InternalGotoBookmark(bookmark);
    Resync();
    Fire(AfterScroll);
}

bool TDataSet::BookmarkValid(const TBookmark&)
{
    return false;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const
{
    if (a.isEmpty() || b.isEmpty())
        return int(!a.isEmpty()) - int(!b.isEmpty());
    return std::memcmp(a.constData(), b.constData(), static_cast<size_t>(std::min(a.size(), b.size())));
}

bool TDataSet::Locate(const QString&, const QVariant&, TLocateOptions)
{
    return false;
}

QVariant TDataSet::Lookup(const QString&, const QVariant&, const QString&)
{
    return {};
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    Fire(BeforeRefresh);
    UpdateCursorPos();
    InternalRefresh();
    Resync();
    Fire(AfterRefresh);
}

// ---- editing ---------------------------------------------------------------

void TDataSet::CheckCanModify()
{
    if (!GetCanModify())
        DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    if (m_state == dsEdit || m_state == dsInsert) {
        if (m_modified)
            Post();
        else
            Cancel();
    }
}

void TDataSet::Edit()
{
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    CheckActive();
    if (!m_hasRecord) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeEdit);
    UpdateCursorPos();
    InternalEdit();
    m_old = m_active;
    for (const auto& field : m_fields)
        field->m_assigned = field->m_modified = false;
    m_modified = false;
    SetState(dsEdit);
    Fire(AfterEdit);
}

void TDataSet::Insert()
{
    BeginInsertAppend(false);
}

void TDataSet::Append()
{
    BeginInsertAppend(true);
}

void TDataSet::BeginInsertAppend(bool append)
{
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeInsert);
    Fire(BeforeScroll);
    if (append)
        InternalLast();
    else
        UpdateCursorPos();
    m_saved = m_active;
    m_savedHasRecord = m_hasRecord;
    InternalInitRecord(m_active.data());
    SetBookmarkFlag(m_active.data(), append ? bfEOF : bfInserted);
    InternalInsert();
    std::fill(m_old.begin(), m_old.end(), 0);
    for (const auto& field : m_fields)
        field->m_assigned = field->m_modified = false;
    m_modified = false;
    SetState(dsInsert);
    Fire(OnNewRecord);
    GetCalcFields(m_active.data());
    Fire(AfterInsert);
    Fire(AfterScroll);
}

void TDataSet::EndEdit()
{
    for (const auto& field : m_fields)
        field->m_assigned = field->m_modified = false;
    m_modified = false;
    SetState(dsBrowse);
}

void TDataSet::Post()
{
    CheckActive();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    Fire(BeforePost);
    InternalPost();
    EndEdit();
    Resync();
    Fire(AfterPost);
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    Fire(BeforeCancel);
    const bool wasInsert = m_state == dsInsert;
    InternalCancel();
    if (wasInsert) {
        m_active = m_saved;
        m_hasRecord = m_savedHasRecord;
    } else {
        m_active = m_old;
    }
    EndEdit();
    if (m_hasRecord) {
        UpdateCursorPos();
        Resync();
    } else {
        NotifyDataSources(deDataSetChange);
    }
    Fire(AfterCancel);
}

void TDataSet::Delete()
{
    CheckActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (!m_hasRecord)
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckCanModify();
    Fire(BeforeDelete);
    Fire(BeforeScroll);
    UpdateCursorPos();
    InternalDelete();
    EndEdit();
    Resync();
    Fire(AfterDelete);
    Fire(AfterScroll);
}

// ---- data sources and errors -----------------------------------------------

void TDataSet::NotifyDataSources(TDataEvent event)
{
    const QList<TDataSource*> sources = m_dataSources;
    for (TDataSource* source : sources) {
        if (m_dataSources.contains(source))
            source->NotifyLinks(event);
    }
}

void TDataSet::SetErrorHandler(ErrorHandler handler)
{
    errorHandler() = std::move(handler);
}

void TDataSet::HandleException(const std::exception& error)
{
    if (errorHandler())
        errorHandler()(error);
    else
        qWarning("%s", error.what());
}

} // namespace lystra
