#pragma once

#include "db/dbtypes.h"
#include "db/tcomponent.h"
#include "db/tdatasource.h"
#include "db/tfield.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace lystra {

// A bookmark: the bytes a dataset uses to find a record again (4 bytes, the
// record number, for TcsDataset). Empty when no record was current.
using TBookmark = QByteArray;

// The dataset framework: states, navigation, editing, fields and events over
// a record-buffer interface that a descendant implements. The framework keeps
// one active record buffer (a copy of the current record), the copy taken
// when an edit began (the old values), and the state.
//
// Navigation follows the usual rules: First/Last/Next/Prior/MoveBy move and
// set Bof/Eof; moving past the end leaves the last record current with Eof
// set. Moving while editing posts a modified record (or cancels an
// unmodified one) first. Errors leave the state as it was; a failed Open
// leaves the dataset closed.
class TDataSet : public TComponent {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
    using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

    TDataSet();
    ~TDataSet() override;

    // ---- state
    TDataSetState State() const noexcept { return m_state; }
    bool Active() const noexcept { return m_state != dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Eof() const noexcept { return m_eof; }
    bool Bof() const noexcept { return m_bof; }
    bool IsEmpty() const noexcept { return !m_hasRecord; }
    // A field was written since the edit or insert began.
    bool Modified() const noexcept { return m_modified; }

    // ---- navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves up to |distance| records; answers how many were moved (signed).
    int MoveBy(int distance);
    int RecordCount();
    // 1-based number of the current record; -1 when closed.
    int RecNo();
    void SetRecNo(int recNo);
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& bookmark);
    virtual bool BookmarkValid(const TBookmark& bookmark);
    // Negative, 0 or positive; an empty bookmark sorts first.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
    // Key fields are separated by ";"; `keyValues` is one value, or a
    // QVariantList with one value per key field.
    virtual bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options);
    // The value of `resultFields` (a QVariantList for several) of the first
    // record whose keys match exactly; an invalid QVariant when none does.
    virtual QVariant Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultFields);
    void Refresh();

    // ---- editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();
    bool CanModify() { return GetCanModify(); }

    // ---- fields
    TFieldDefs& FieldDefs() noexcept { return m_fieldDefs; }
    const TFieldDefs& FieldDefs() const noexcept { return m_fieldDefs; }
    // Adds a persistent field (before the dataset opens) and answers it.
    TField& AddField(const QString& name, TFieldType type, int size = 0, TFieldKind kind = fkData);
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField& Fields(int index) const { return *m_fields.at(static_cast<size_t>(index)); }
    TField* FindField(QStringView name) const;
    // Raises EDatabaseError "Field '<name>' not found".
    TField& FieldByName(QStringView name) const;

    bool Filtered() const noexcept { return m_filtered; }
    void SetFiltered(bool filtered);
    bool AutoCalcFields() const noexcept { return m_autoCalcFields; }
    void SetAutoCalcFields(bool value) { m_autoCalcFields = value; }

    // The master data source, for datasets that have one.
    virtual TDataSource* DataSource() const { return nullptr; }

    // ---- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh, OnNewRecord, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;

    // ---- used by fields
    // The field's value in the record the state selects (`state` dsOldValue
    // or dsNewValue read those values).
    QVariant ReadFieldValue(const TField& field, TDataSetState state = dsInactive) const;
    // Converts and writes the value, then notes the change.
    void WriteFieldValue(TField& field, const QVariant& value);
    virtual std::unique_ptr<QIODevice> CreateBlobStream(TField& field, TBlobStreamMode mode);

    // Reports an error that cannot be raised (for one, while a blob stream
    // closes). The default handler writes a warning; a GUI program installs
    // the application's error box.
    using ErrorHandler = std::function<void(const std::exception&)>;
    static void SetErrorHandler(ErrorHandler handler);
    static void HandleException(const std::exception& error);

protected:
    // ---- the record-buffer interface
    virtual int RecordSize() const = 0;
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalSetToRecord(const char* buffer) = 0;
    virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
    virtual TBookmark GetBookmarkData(const char* buffer) const = 0;
    virtual TBookmarkFlag GetBookmarkFlag(const char* buffer) const = 0;
    virtual void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) const = 0;
    virtual void InternalInitRecord(char* buffer) const = 0;
    virtual QVariant GetFieldValue(const TField& field, const char* buffer) const = 0;
    // Writes a converted value (invalid = NULL) into the record the state
    // selects; raises when the state or the field forbids it.
    virtual void SetFieldValue(TField& field, const QVariant& value) = 0;
    virtual void ClearCalcFields(char* buffer) const = 0;
    virtual int GetRecordCount() = 0;
    virtual int GetRecNo() = 0;
    virtual void InternalSetRecNo(int recNo) = 0;
    virtual bool GetCanModify() { return false; }
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalPost() = 0;
    virtual void InternalCancel() {}
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() = 0;

    // ---- services for descendants
    // Creates the default fields when there are no persistent ones, binds
    // data fields to their definitions and lays out the calculated fields.
    void CreateAndBindFields();
    // Drops the default fields and unbinds the persistent ones.
    void DestroyFields();
    int CalcFieldsSize() const noexcept { return m_calcFieldsSize; }
    // Recomputes the calculated fields of `buffer` with OnCalcFields.
    void GetCalcFields(char* buffer);
    // Asks OnFilterRecord about `buffer`; true when it is accepted.
    bool FilterRecord(char* buffer);
    bool HasFilter() const { return m_filtered && OnFilterRecord; }
    // The record buffer that the current state selects, or nullptr.
    char* StateBuffer();
    const char* StateBuffer(TDataSetState state) const;
    // The active buffer (current record copy).
    char* ActiveBuffer() { return m_active.data(); }
    bool HasActiveRecord() const noexcept { return m_hasRecord; }
    // Reloads the active record from the cursor after the cursor moved.
    void Resync();
    void NotifyDataSources(TDataEvent event);
    const std::vector<std::unique_ptr<TField>>& FieldList() const { return m_fields; }

private:
    friend class TDataSource;
    class TempState;

    void OpenCursor();
    void CloseCursor();
    void SetState(TDataSetState state);
    void UpdateCursorPos();
    void AllocateBuffers();
    void BeginInsertAppend(bool append);
    void EndEdit();
    void CheckActive() const;
    void CheckCanModify();
    void Fire(const TDataSetNotifyEvent& event) { if (event) event(*this); }

    TDataSetState m_state = dsInactive;
    bool m_bof = true;
    bool m_eof = true;
    bool m_hasRecord = false;
    bool m_modified = false;
    bool m_filtered = false;
    bool m_autoCalcFields = true;
    bool m_defaultFields = false;
    int m_calcFieldsSize = 0;
    std::vector<char> m_active;
    std::vector<char> m_old;
    std::vector<char> m_saved; // the active record while inserting, for Cancel
    bool m_savedHasRecord = false;
    char* m_calcBuffer = nullptr;
    char* m_filterBuffer = nullptr;
    TFieldDefs m_fieldDefs;
    std::vector<std::unique_ptr<TField>> m_fields;
    QList<TDataSource*> m_dataSources;
};

} // namespace lystra
