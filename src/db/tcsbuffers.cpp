#include "db/tcsbuffers.h"

#include "platform/exception.h"
#include "platform/tempfile.h"

#include <cstring>
#include <limits>

namespace lystra {

namespace {

[[noreturn]] void raiseFileError(const QFileDevice& file)
{
    throw Exception(QStringLiteral("Cannot use the temporary file %1: %2").arg(file.fileName(), file.errorString()));
}

void writeAt(QFileDevice& file, qint64 offset, QByteArrayView bytes)
{
    if (!file.seek(offset) || file.write(bytes.data(), bytes.size()) != bytes.size())
        raiseFileError(file);
}

void readAt(QFileDevice& file, qint64 offset, char* data, qint64 size)
{
    if (!file.seek(offset) || file.read(data, size) != size)
        raiseFileError(file);
}

} // namespace

// ---- TcsBuffers --------------------------------------------------------------

TcsBuffers::TcsBuffers(int recordSize, bool inFile)
    : m_recordSize(recordSize)
    , m_inFile(inFile)
{
}

TcsBuffers::~TcsBuffers() = default;

QString TcsBuffers::FileName() const
{
    return m_file ? m_file->fileName() : QString();
}

TcsBuffers::Entry TcsBuffers::Store(const char* record)
{
    if (m_entries.size() >= std::numeric_limits<Entry>::max())
        throw Exception(QStringLiteral("Too many records in the record cache"));
    if (!m_inFile) {
        auto copy = std::make_unique<char[]>(static_cast<size_t>(m_recordSize));
        std::memcpy(copy.get(), record, static_cast<size_t>(m_recordSize));
        m_records.push_back(std::move(copy));
        return static_cast<Entry>(m_records.size() - 1);
    }
    if (!m_file)
        m_file = createTemporaryFile(QStringLiteral("SQL"));
    writeAt(*m_file, qint64(m_fileSlots) * m_recordSize, QByteArrayView(record, m_recordSize));
    return m_fileSlots++;
}

int TcsBuffers::Append(const char* record)
{
    m_entries.push_back(Store(record));
    return Count();
}

int TcsBuffers::Insert(int index, const char* record)
{
    if (index < 1 || index > Count())
        return Append(record);
    const Entry entry = Store(record);
    m_entries.insert(m_entries.begin() + (index - 1), entry);
    return index;
}

bool TcsBuffers::Put(int index, const char* record)
{
    if (index < 1 || index > Count())
        return false;
    const Entry entry = m_entries[static_cast<size_t>(index - 1)];
    if (m_inFile)
        writeAt(*m_file, qint64(entry) * m_recordSize, QByteArrayView(record, m_recordSize));
    else
        std::memcpy(m_records[entry].get(), record, static_cast<size_t>(m_recordSize));
    return true;
}

bool TcsBuffers::Get(int index, char* record) const
{
    if (index < 1 || index > Count()) {
        std::memset(record, 0, static_cast<size_t>(m_recordSize));
        return false;
    }
    const Entry entry = m_entries[static_cast<size_t>(index - 1)];
    if (m_inFile)
        readAt(*m_file, qint64(entry) * m_recordSize, record, m_recordSize);
    else
        std::memcpy(record, m_records[entry].get(), static_cast<size_t>(m_recordSize));
    return true;
}

bool TcsBuffers::Delete(int index)
{
    if (index < 1 || index > Count())
        return false;
    const auto pos = static_cast<size_t>(index - 1);
    if (!m_inFile)
        m_records[m_entries[pos]].reset();
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
}

void TcsBuffers::Clear()
{
    m_entries.clear();
    m_records.clear();
    m_file.reset();
    m_fileSlots = 0;
}

// ---- TcsBlobList -------------------------------------------------------------

TcsBlobList::TcsBlobList(bool inFile)
    : m_inFile(inFile)
{
}

TcsBlobList::~TcsBlobList() = default;

QString TcsBlobList::FileName() const
{
    return m_file ? m_file->fileName() : QString();
}

qint64 TcsBlobList::WriteToFile(QByteArrayView value)
{
    if (!m_file)
        m_file = createTemporaryFile(QStringLiteral("SQB"));
    const qint64 offset = m_fileEnd;
    writeAt(*m_file, offset, value);
    m_fileEnd += value.size();
    return offset;
}

int TcsBlobList::Add(QByteArrayView value)
{
    if (m_items.size() >= size_t(std::numeric_limits<qint32>::max()))
        throw Exception(QStringLiteral("Too many values in the blob store"));
    TcsBlobItem item;
    item.length = value.size();
    if (m_inFile)
        item.offset = WriteToFile(value);
    else
        item.bytes = value.toByteArray();
    m_items.push_back(std::move(item));
    return Count();
}

QByteArray TcsBlobList::Get(int index) const
{
    if (index < 1 || index > Count())
        return {};
    const TcsBlobItem& item = m_items[static_cast<size_t>(index - 1)];
    if (!m_inFile)
        return item.bytes;
    QByteArray bytes(item.length, Qt::Uninitialized);
    if (item.length > 0)
        readAt(*m_file, item.offset, bytes.data(), item.length);
    return bytes;
}

bool TcsBlobList::Replace(int index, QByteArrayView value)
{
    if (index < 1 || index > Count())
        return false;
    TcsBlobItem& item = m_items[static_cast<size_t>(index - 1)];
    item.length = value.size();
    if (m_inFile)
        item.offset = WriteToFile(value);
    else
        item.bytes = value.toByteArray();
    return true;
}

void TcsBlobList::Free(int index)
{
    if (index < 1 || index > Count())
        return;
    m_items[static_cast<size_t>(index - 1)] = TcsBlobItem();
}

} // namespace lystra
