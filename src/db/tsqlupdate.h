#pragma once

#include "db/dbtypes.h"
#include "db/tcomponent.h"
#include "db/tupdateparams.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringView>

#include <array>
#include <memory>

namespace lystra {

class TcsDataset;
class TField;

// Hand-written statements that write a query's edits back: one list of
// lines per update kind (modify, insert, delete). Each kind runs through an
// internal dataset of its own, created on first use with the query's
// database and that kind's statement; its parameters take the query's field
// values by name ("OLD_" + name: the old value).
//
// An update object serves one query at a time; it does not own the query.
class TSQLUpdate : public TComponent {
public:
    TSQLUpdate();
    ~TSQLUpdate() override;

    const QByteArrayList& ModifySQL() const { return m_sql[ukModify]; }
    const QByteArrayList& InsertSQL() const { return m_sql[ukInsert]; }
    const QByteArrayList& DeleteSQL() const { return m_sql[ukDelete]; }
    void SetModifySQL(const QByteArrayList& lines) { SetSQL(ukModify, lines); }
    void SetInsertSQL(const QByteArrayList& lines) { SetSQL(ukInsert, lines); }
    void SetDeleteSQL(const QByteArrayList& lines) { SetSQL(ukDelete, lines); }
    const QByteArrayList& SQL(TUpdateKind kind) const { return m_sql[kind]; }
    void SetSQL(TUpdateKind kind, const QByteArrayList& lines);

    TcsDataset* Query() const noexcept { return m_query; }
    // Called by the query when this object becomes (or stops being) its
    // update object; a previous query is detached.
    void SetQuery(TcsDataset* query);

    // The internal dataset of the kind (created on first use).
    TcsDataset& Dataset(TUpdateKind kind);

    // Runs the kind's statement for the query's current record. A statement
    // that affects no row raises "Update failed. No rows where affected by
    // transaction." unless the query's OnUpdateError answers "abort" (then
    // EAbort).
    void Apply(TUpdateKind kind);

private:
    void FillParams(TcsDataset& dataset);

    std::array<QByteArrayList, 3> m_sql;
    std::array<std::unique_ptr<TcsDataset>, 3> m_datasets;
    TcsDataset* m_query = nullptr;
};

// Generation of the statements a query runs for its UpdateParams.
namespace sqlupdate {

// Encloses in double quotes, doubling double quotes inside.
QByteArray quote(QByteArrayView name);
// A name that begins with a double quote stays as it is; a name with "."
// is quoted before and after the first "." separately; else quoted whole.
QByteArray quoteTableName(QStringView table);

// A field is changed when it was assigned during the edit and its value
// differs from the old one: a blob answers its modified flag; strings that
// are both non-NULL compare without trailing blanks; NULL differs from any
// value.
bool isChanged(const TField& field);

// The lines of the statement for the dataset's current record; empty when
// there is nothing to send (a modify with no changed update field, an insert
// without update fields).
QByteArrayList modifyLines(const TUpdateParams& params, const TcsDataset& dataset);
QByteArrayList insertLines(const TUpdateParams& params, const TcsDataset& dataset, bool suppressNulls);
QByteArrayList deleteLines(const TUpdateParams& params, const TcsDataset& dataset);
QByteArrayList whereLines(const TUpdateParams& params, const TcsDataset& dataset);
QByteArrayList statementLines(TUpdateKind kind, const TUpdateParams& params, const TcsDataset& dataset,
                              bool suppressNulls);

// The lines joined into one line, each CR LF becoming a blank.
QByteArray joinLines(const QByteArrayList& lines);

} // namespace sqlupdate

} // namespace lystra
