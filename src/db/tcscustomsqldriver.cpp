#include "db/tcscustomsqldriver.h"

#include "db/edatabaseerror.h"
#include "db/fieldbuffer.h"
#include "db/tcsdatabase.h"
#include "db/tcsdataset.h"
#include "db/tparams.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace lystra {

TcsConnection::~TcsConnection() = default;

TcsCustomSQLDriver::TcsCustomSQLDriver() = default;
TcsCustomSQLDriver::~TcsCustomSQLDriver() = default;

void TcsCustomSQLDriver::SetFieldOrigins(TcsDataset&) {}

void TcsCustomSQLDriver::SetRowsPerFetch(int count)
{
    m_rowsPerFetch = count;
}

void TcsCustomSQLDriver::SetPoolSize(int count)
{
    m_poolSize = count;
}

void TcsCustomSQLDriver::GetDefaultIndexFields(const QByteArray&, QByteArrayList&) {}

void TcsCustomSQLDriver::GetDataSourceNames(QByteArrayList&, const QString&, int, int) {}

bool TcsCustomSQLDriver::InitFieldDefs(TcsDataset&)
{
    return false;
}

void TcsCustomSQLDriver::ClearConnection(TcsConnection*) {}

void TcsCustomSQLDriver::PrepareStatement(const QByteArray&, TcsDataset&) {}

void TcsCustomSQLDriver::UnprepareStatement(TcsDataset&) {}

void TcsCustomSQLDriver::ExecuteBatch(const QByteArrayList&) {}

TcsConnection* TcsCustomSQLDriver::DatasetConnection(TcsDataset& dataset)
{
    if (dataset.Connection() == nullptr) {
        TcsConnection* connection = m_database != nullptr ? m_database->AcquireConnection() : nullptr;
        if (connection == nullptr)
            DatabaseError(QStringLiteral("Unable to acquire connection from driver"));
        dataset.SetConnection(connection);
        m_database->RegisterDataset(&dataset);
    }
    return dataset.Connection();
}

// ---- binding parameters --------------------------------------------------------

namespace {

QByteArray quoted(QByteArrayView text)
{
    QByteArray result;
    result.reserve(text.size() + 2);
    result += '\'';
    for (char c : text) {
        if (c == '\'')
            result += '\'';
        result += c;
    }
    result += '\'';
    return result;
}

// Up to 15 significant digits, "." as separator, an exponent written E-5 or
// E20 the way the server's number parser takes it.
QByteArray floatLiteral(double value)
{
    QByteArray text = QByteArray::number(value, 'g', 15);
    const qsizetype e = text.indexOf('e');
    if (e < 0)
        return text;
    const int exponent = text.sliced(e + 1).toInt();
    return text.first(e) + 'E' + QByteArray::number(exponent);
}

QByteArray memoLiteral(QByteArray text)
{
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    text.replace("\r\n", "\x1a");
    return quoted(text);
}

QByteArray literal(const TParam& param)
{
    if (param.IsNull())
        return QByteArrayLiteral("null");
    const QVariant& value = param.Value;
    switch (param.EffectiveType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return quoted(fieldbuffer::convert(ftString, value).toByteArray());
    case ftBoolean:
        return fieldbuffer::convert(ftBoolean, value).toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return floatLiteral(fieldbuffer::convert(ftFloat, value).toDouble());
    case ftDate: {
        const QDate date = fieldbuffer::convert(ftDate, value).toDate();
        return quoted(QString::asprintf("%.4d-%.2d-%.2d", date.year(), date.month(), date.day()).toLatin1());
    }
    case ftTime: {
        const QTime time = fieldbuffer::convert(ftTime, value).toTime();
        return quoted(HostCodec::host().encode(FormatSettings::current().timeText(time)));
    }
    case ftDateTime: {
        const QDateTime dateTime = fieldbuffer::convert(ftDateTime, value).toDateTime();
        const QDate d = dateTime.date();
        const QTime t = dateTime.time();
        return quoted(QString::asprintf("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", d.year(), d.month(), d.day(), t.hour(),
                                        t.minute(), t.second())
                          .toLatin1());
    }
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return memoLiteral(fieldbuffer::convert(ftMemo, value).toByteArray());
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        // Converted first, so that a text value can only ever put a number
        // into the statement.
        return QByteArray::number(fieldbuffer::convert(ftLargeint, value).toLongLong());
    case ftUnknown:
        return fieldbuffer::displayText(value);
    default:
        // Binary values of every kind travel as hexadecimal.
        return "0x" + fieldbuffer::convert(ftBlob, value).toByteArray().toHex().toUpper();
    }
}

} // namespace

QByteArray TcsCustomSQLDriver::BindParameters(QByteArrayView statement, const TParams* params)
{
    if (params == nullptr || params->IsEmpty())
        return statement.toByteArray();
    const QByteArray text = statement.toByteArray() + ' ';
    QByteArray result;
    result.reserve(text.size() + 16 * params->Count());
    int next = 0;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != '?')
            continue;
        if (i + 1 < n && text[i + 1] == '?') {
            result += text.sliced(start, i + 1 - start);
            start = ++i + 1;
            continue;
        }
        if (next >= params->Count())
            throw Exception(QStringLiteral("List index out of bounds (%1)").arg(next));
        result += text.sliced(start, i - start);
        result += literal(params->Items(next++));
        start = i + 1;
    }
    result += text.sliced(start);
    return result;
}

// ---- store services ----------------------------------------------------------------

void TcsCustomSQLDriver::StoreFieldValue(int fieldNo, const char* bytes, int length, char* buffer)
{
    TcsDataset* dataset = m_fetchDataset;
    if (dataset == nullptr || fieldNo < 1 || fieldNo > dataset->FieldOffsets().size())
        return;
    const int offset = dataset->FieldOffsets().at(fieldNo - 1);
    const int width = dataset->SlotWidth(fieldNo);
    buffer[offset] = 1;
    const int count = std::clamp(length, 0, width);
    if (count > 0)
        std::memcpy(buffer + offset + 1, bytes, static_cast<size_t>(count));
}

void TcsCustomSQLDriver::StoreBlobValue(const TField& field, QByteArrayView value, char* buffer)
{
    TcsDataset* dataset = m_fetchDataset;
    const int fieldNo = field.FieldNo();
    if (dataset == nullptr || dataset->BlobStore() == nullptr || fieldNo < 1
        || fieldNo > dataset->FieldOffsets().size())
        return;
    const int offset = dataset->FieldOffsets().at(fieldNo - 1);
    buffer[offset] = 1;
    char* slot = buffer + offset + 1;
    const qint32 index = qFromLittleEndian<qint32>(slot);
    if (index > 0 && dataset->BlobStore()->Replace(index, value))
        return;
    qToLittleEndian<qint32>(dataset->BlobStore()->Add(value), slot);
}

void TcsCustomSQLDriver::StoreNullValue(int fieldNo, char* buffer)
{
    TcsDataset* dataset = m_fetchDataset;
    if (dataset == nullptr || fieldNo < 1 || fieldNo > dataset->FieldOffsets().size())
        return;
    buffer[dataset->FieldOffsets().at(fieldNo - 1)] = 0;
}

} // namespace lystra
