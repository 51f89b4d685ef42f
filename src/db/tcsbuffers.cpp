#include "db/tcsbuffers.h"

#include "platform/exception.h"
#include "platform/tempfile.h"

#include <algorithm>
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
    // Records reach the file a block at a time: one write instead of one
    // seek and write per record.
    if (m_tail.size() + m_recordSize > BlockSize())
        FlushTail();
    m_tail.append(record, m_recordSize);
    return m_fileSlots++;
}

int TcsBuffers::BlockSize() const noexcept
{
    return std::max(64 * 1024, m_recordSize);
}

void TcsBuffers::FlushTail()
{
    if (m_tail.isEmpty())
        return;
    writeAt(*m_file, qint64(m_tailFirstSlot) * m_recordSize, m_tail);
    m_tailFirstSlot += static_cast<std::uint32_t>(m_tail.size() / m_recordSize);
    m_tail.clear();
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
    if (!m_inFile) {
        std::memcpy(m_records[entry].get(), record, static_cast<size_t>(m_recordSize));
    } else if (entry >= m_tailFirstSlot) {
        std::memcpy(m_tail.data() + qint64(entry - m_tailFirstSlot) * m_recordSize, record,
                    static_cast<size_t>(m_recordSize));
    } else {
        const qint64 offset = qint64(entry) * m_recordSize;
        writeAt(*m_file, offset, QByteArrayView(record, m_recordSize));
        // Keep the block read ahead in step with the file.
        if (offset >= m_windowOffset && offset + m_recordSize <= m_windowOffset + m_window.size())
            std::memcpy(m_window.data() + (offset - m_windowOffset), record,
                        static_cast<size_t>(m_recordSize));
    }
    return true;
}

bool TcsBuffers::Get(int index, char* record) const
{
    if (index < 1 || index > Count()) {
        std::memset(record, 0, static_cast<size_t>(m_recordSize));
        return false;
    }
    const Entry entry = m_entries[static_cast<size_t>(index - 1)];
    if (!m_inFile) {
        std::memcpy(record, m_records[entry].get(), static_cast<size_t>(m_recordSize));
        return true;
    }
    if (entry >= m_tailFirstSlot) {
        std::memcpy(record, m_tail.constData() + qint64(entry - m_tailFirstSlot) * m_recordSize,
                    static_cast<size_t>(m_recordSize));
        return true;
    }
    const qint64 offset = qint64(entry) * m_recordSize;
    if (offset < m_windowOffset || offset + m_recordSize > m_windowOffset + m_window.size()) {
        // Read a block from this record on, up to what the file holds.
        const qint64 written = qint64(m_tailFirstSlot) * m_recordSize;
        const qint64 size = std::min<qint64>(BlockSize(), written - offset);
        m_window.resize(size);
        m_windowOffset = offset;
        try {
            readAt(*m_file, offset, m_window.data(), size);
        } catch (...) {
            m_window.clear();
            throw;
        }
    }
    std::memcpy(record, m_window.constData() + (offset - m_windowOffset),
                static_cast<size_t>(m_recordSize));
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
    m_tail.clear();
    m_tailFirstSlot = 0;
    m_window.clear();
    m_windowOffset = 0;
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
