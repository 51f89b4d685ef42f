#include "db/tsqlupdate.h"

#include "db/edatabaseerror.h"
#include "db/tcsdataset.h"
#include "platform/hostcodec.h"
#include "platform/screencursor.h"

namespace lystra {

namespace {

const QString kNoRowsAffected = QStringLiteral("Update failed. No rows where affected by transaction.");

QByteArray host(QStringView text)
{
    return HostCodec::host().encode(text);
}

} // namespace

// ---- TSQLUpdate ----------------------------------------------------------------

TSQLUpdate::TSQLUpdate() = default;

TSQLUpdate::~TSQLUpdate()
{
    if (m_query != nullptr)
        m_query->UpdateObjectDetached(this);
}

void TSQLUpdate::SetSQL(TUpdateKind kind, const QByteArrayList& lines)
{
    m_sql[kind] = lines;
    if (m_datasets[kind])
        m_datasets[kind]->SetSQL(lines);
}

void TSQLUpdate::SetQuery(TcsDataset* query)
{
    if (query == m_query)
        return;
    TcsDataset* previous = m_query;
    m_query = query;
    if (previous != nullptr)
        previous->UpdateObjectDetached(this);
    if (m_query != nullptr && m_query->UpdateObject() != this)
        m_query->SetUpdateObject(this);
}

TcsDataset& TSQLUpdate::Dataset(TUpdateKind kind)
{
    if (!m_datasets[kind]) {
        m_datasets[kind] = std::make_unique<TcsDataset>();
        m_datasets[kind]->SetSQL(m_sql[kind]);
    }
    if (m_query != nullptr)
        m_datasets[kind]->SetDataBaseName(m_query->DataBaseName());
    return *m_datasets[kind];
}

void TSQLUpdate::FillParams(TcsDataset& dataset)
{
    TDataSource* source = m_query->DataSource();
    TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
    for (TParam& param : dataset.Params()) {
        const bool old = param.Name.startsWith(u"OLD_", Qt::CaseInsensitive);
        const QStringView name = old ? QStringView(param.Name).sliced(4) : QStringView(param.Name);
        TField* field = m_query->FindField(name);
        if (field == nullptr && master != nullptr)
            field = master->FindField(name);
        if (field == nullptr)
            continue;
        if (old)
            param.AssignFieldValue(*field, field->OldValue());
        else if (field->Calculated())
            param.AssignField(*field);
        else
            param.AssignFieldValue(*field, field->Assigned() ? field->NewValue() : field->OldValue());
    }
}

void TSQLUpdate::Apply(TUpdateKind kind)
{
    if (m_query == nullptr)
        return;
    TcsDataset& dataset = Dataset(kind);
    FillParams(dataset);
    dataset.ExecSQL();
    if (dataset.RowsAffected() < 1) {
        if (m_query->OnUpdateError) {
            EDatabaseError error(kNoRowsAffected);
            TUpdateAction action = uaFail;
            m_query->OnUpdateError(*m_query, error, kind, action);
            if (action == uaAbort)
                throw EAbort();
        }
        DatabaseError(kNoRowsAffected);
    }
    if (ScreenCursor::instance().isMainThread())
        dataset.Close();
}

// ---- statement generation ------------------------------------------------------

namespace sqlupdate {

QByteArray quote(QByteArrayView name)
{
    QByteArray result = "\"";
    for (char c : name) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + '"';
}

QByteArray quoteTableName(QStringView table)
{
    const QByteArray name = host(table);
    if (name.startsWith('"'))
        return name;
    const qsizetype dot = name.indexOf('.');
    if (dot >= 0)
        return quote(name.first(dot)) + '.' + quote(name.sliced(dot + 1));
    return quote(name);
}

bool isChanged(const TField& field)
{
    if (!field.Assigned())
        return false;
    if (field.IsBlob())
        return field.Modified();
    const QVariant oldValue = field.OldValue();
    const QVariant newValue = field.NewValue();
    if (oldValue.isValid() != newValue.isValid())
        return true;
    if (!oldValue.isValid())
        return false;
    if (isStringType(field.DataType()))
        return trimTrailingBlanks(oldValue.toByteArray()) != trimTrailingBlanks(newValue.toByteArray());
    return oldValue != newValue;
}

namespace {

// A field name in a statement: in double quotes, not doubled.
QByteArray fieldName(const QString& name)
{
    return '"' + host(name) + '"';
}

bool comparable(const TField* field)
{
    return field != nullptr && !field->IsBlob();
}

bool isKey(const TUpdateParams& params, const QString& name)
{
    return params.KeyFields.contains(name, Qt::CaseInsensitive);
}

} // namespace

QByteArrayList whereLines(const TUpdateParams& params, const TcsDataset& dataset)
{
    QByteArrayList conditions;
    for (const QString& key : params.KeyFields)
        conditions.append(fieldName(key) + "=:OLD_" + host(key));
    if (params.UpdateMode != upWhereKeyOnly) {
        for (const QString& name : params.UpdateFields) {
            const TField* field = dataset.FindField(name);
            if (isKey(params, name) || !comparable(field))
                continue;
            if (params.UpdateMode == upWhereAll) {
                conditions.append(fieldName(name) + "=:OLD_" + host(name));
            } else if (isChanged(*field)) {
                if (field->OldValue().isValid())
                    conditions.append(fieldName(name) + "=:OLD_" + host(name));
                else
                    conditions.append(fieldName(name) + " is null");
            }
        }
    }
    QByteArrayList lines{"where "};
    for (qsizetype i = 0; i < conditions.size(); ++i)
        lines.append(i == 0 ? conditions.at(i) : QByteArray("and " + conditions.at(i)));
    return lines;
}

QByteArrayList modifyLines(const TUpdateParams& params, const TcsDataset& dataset)
{
    QByteArrayList lines;
    for (const QString& name : params.UpdateFields) {
        const TField* field = dataset.FindField(name);
        if (field == nullptr || !isChanged(*field))
            continue;
        const QByteArray assignment = fieldName(name) + "=:" + host(name);
        if (lines.isEmpty())
            lines.append("update " + quoteTableName(params.TableName) + " set " + assignment);
        else
            lines.append(", " + assignment);
    }
    if (lines.isEmpty())
        return {};
    return lines + whereLines(params, dataset);
}

QByteArrayList insertLines(const TUpdateParams& params, const TcsDataset& dataset, bool suppressNulls)
{
    QStringList names;
    for (const QString& name : params.UpdateFields) {
        const TField* field = dataset.FindField(name);
        if (suppressNulls && field != nullptr && field->IsNull())
            continue;
        names.append(name);
    }
    if (names.isEmpty())
        return {};
    QByteArrayList lines;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray prefix = i == 0 ? "insert into " + quoteTableName(params.TableName) + " (" : QByteArray(", ");
        lines.append(prefix + fieldName(names.at(i)));
    }
    lines.last() += ')';
    for (qsizetype i = 0; i < names.size(); ++i)
        lines.append(QByteArray(i == 0 ? "Values(:" : ", :") + host(names.at(i)));
    lines.last() += ')';
    return lines;
}

QByteArrayList deleteLines(const TUpdateParams& params, const TcsDataset& dataset)
{
    return QByteArrayList{"delete from " + quoteTableName(params.TableName)} + whereLines(params, dataset);
}

QByteArrayList statementLines(TUpdateKind kind, const TUpdateParams& params, const TcsDataset& dataset,
                              bool suppressNulls)
{
    switch (kind) {
    case ukModify:
        return modifyLines(params, dataset);
    case ukInsert:
        return insertLines(params, dataset, suppressNulls);
    case ukDelete:
        return deleteLines(params, dataset);
    }
    return {};
}

QByteArray joinLines(const QByteArrayList& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text.replace("\r\n", " ");
}

} // namespace sqlupdate

} // namespace lystra
