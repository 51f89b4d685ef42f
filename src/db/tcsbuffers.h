#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMutex>
#include <QTemporaryFile>

#include <cstdint>
#include <memory>
#include <vector>

namespace lystra {

// The record cache of a dataset: records of one fixed size, addressed by a
// 1-based index. In memory mode each record is a copy of its own; in file
// mode every record is appended to a temporary file (name prefix "SQL", in
// the system's temporary folder) and the list keeps only its place in the
// file, so memory stays flat however many records there are: besides the
// places, the list holds at most one block of records not yet written and
// one block read ahead (64 KB each, or one record when records are larger).
// The file is removed when the list is cleared or destroyed, on every path.
//
// File errors (disk full) raise lystra::Exception.
class TcsBuffers {
public:
    TcsBuffers(int recordSize, bool inFile);
    ~TcsBuffers();

    TcsBuffers(const TcsBuffers&) = delete;
    TcsBuffers& operator=(const TcsBuffers&) = delete;

    int RecordSize() const noexcept { return m_recordSize; }
    int Count() const noexcept { return static_cast<int>(m_entries.size()); }
    bool InFile() const noexcept { return m_inFile; }
    // The temporary file's path, empty in memory mode or before the first record.
    QString FileName() const;

    // Appends a copy of `record` (RecordSize bytes); answers its index.
    int Append(const char* record);
    // Inserts a copy before `index`; an index outside 1..Count appends.
    // Answers the new record's index.
    int Insert(int index, const char* record);
    // Overwrites the record at `index` (1..Count); false outside.
    bool Put(int index, const char* record);
    // Copies the record at `index` into `record`; outside 1..Count the buffer
    // becomes all zero and the answer is false.
    bool Get(int index, char* record) const;
    // Removes the record at `index` (1..Count); false outside.
    bool Delete(int index);
    // Frees every record, or closes and removes the file.
    void Clear();

private:
    using Entry = std::uint32_t; // memory mode: index into m_records; file mode: record slot in the file

    Entry Store(const char* record);
    // File mode: writes the records appended since the last write.
    void FlushTail();
    int BlockSize() const noexcept;

    int m_recordSize;
    bool m_inFile;
    std::vector<Entry> m_entries;
    std::vector<std::unique_ptr<char[]>> m_records;
    std::unique_ptr<QTemporaryFile> m_file;
    std::uint32_t m_fileSlots = 0;
    // File mode: the slots from m_tailFirstSlot on are in m_tail, not yet in
    // the file; m_window holds the file's bytes from m_windowOffset on.
    QByteArray m_tail;
    std::uint32_t m_tailFirstSlot = 0;
    mutable QByteArray m_window;
    mutable qint64 m_windowOffset = 0;
};

// The values of a dataset's blob and memo fields, addressed by a 1-based
// index. In file mode the values live in a temporary file (prefix "SQB").
// Destroying the list frees every item and removes its file.
class TcsBlobList {
public:
    explicit TcsBlobList(bool inFile);
    ~TcsBlobList();

    TcsBlobList(const TcsBlobList&) = delete;
    TcsBlobList& operator=(const TcsBlobList&) = delete;

    int Count() const noexcept { return static_cast<int>(m_items.size()); }
    bool InFile() const noexcept { return m_inFile; }
    QString FileName() const;

    // Adds a value; answers its index.
    int Add(QByteArrayView value);
    // The value at `index`; empty for an index outside 1..Count or a freed item.
    QByteArray Get(int index) const;
    // Replaces the value at `index` (1..Count); false outside.
    bool Replace(int index, QByteArrayView value);
    // Frees the value at `index` (its index stays taken, reading gives empty).
    void Free(int index);

private:
    struct TcsBlobItem {
        qint64 length = 0;
        qint64 offset = 0; // file mode
        QByteArray bytes;  // memory mode
    };

    qint64 WriteToFile(QByteArrayView value);

    bool m_inFile;
    std::vector<TcsBlobItem> m_items;
    std::unique_ptr<QTemporaryFile> m_file;
    qint64 m_fileEnd = 0;
};

// The slot offsets of a dataset's data fields, indexed by field number - 1.
using TcsFieldOffsets = QList<int>;

// A list whose every single operation holds the list's own lock. Used where
// lists are shared: a driver's pool of idle connections and a database's
// list of datasets. The items are not owned.
template <typename T>
class TcsThreadList {
public:
    void Add(T* item)
    {
        QMutexLocker lock(&m_mutex);
        m_items.append(item);
    }
    bool Remove(T* item)
    {
        QMutexLocker lock(&m_mutex);
        return m_items.removeOne(item);
    }
    // Takes the first (oldest) entry out; nullptr when empty.
    T* TakeFirst()
    {
        QMutexLocker lock(&m_mutex);
        return m_items.isEmpty() ? nullptr : m_items.takeFirst();
    }
    // Takes the last (newest) entry out; nullptr when empty.
    T* TakeLast()
    {
        QMutexLocker lock(&m_mutex);
        return m_items.isEmpty() ? nullptr : m_items.takeLast();
    }
    int Count() const
    {
        QMutexLocker lock(&m_mutex);
        return static_cast<int>(m_items.size());
    }
    T* Get(int index) const
    {
        QMutexLocker lock(&m_mutex);
        return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
    }
    bool Contains(T* item) const
    {
        QMutexLocker lock(&m_mutex);
        return m_items.contains(item);
    }
    // A copy of the entries, for walking the list while it may change.
    QList<T*> Snapshot() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }

private:
    mutable QMutex m_mutex;
    QList<T*> m_items;
};

} // namespace lystra
