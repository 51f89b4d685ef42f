#include "db/tcsbuffers.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace lystra {
namespace {

QByteArray record(char fill, int size = 16)
{
    return QByteArray(size, fill);
}

class BuffersTest : public testing::TestWithParam<bool> {};

TEST_P(BuffersTest, KeepsRecordsByOneBasedIndex)
{
    TcsBuffers buffers(16, GetParam());
    EXPECT_EQ(buffers.Append(record('a').constData()), 1);
    EXPECT_EQ(buffers.Append(record('c').constData()), 2);
    EXPECT_EQ(buffers.Insert(2, record('b').constData()), 2);
    EXPECT_EQ(buffers.Insert(99, record('d').constData()), 4); // outside: appended
    EXPECT_TRUE(buffers.Put(4, record('e').constData()));

    QByteArray out(16, '?');
    QByteArray seen;
    for (int i = 1; i <= buffers.Count(); ++i) {
        ASSERT_TRUE(buffers.Get(i, out.data()));
        seen += out.at(0);
    }
    EXPECT_EQ(seen, "abce");

    EXPECT_FALSE(buffers.Get(0, out.data()));
    EXPECT_EQ(out, QByteArray(16, '\0'));
    EXPECT_FALSE(buffers.Get(5, out.data()));
    EXPECT_FALSE(buffers.Put(5, out.constData()));
    EXPECT_FALSE(buffers.Delete(5));
    EXPECT_FALSE(buffers.Delete(0));

    EXPECT_TRUE(buffers.Delete(1));
    ASSERT_TRUE(buffers.Get(1, out.data()));
    EXPECT_EQ(out.at(0), 'b');
    EXPECT_EQ(buffers.Count(), 3);
}

TEST_P(BuffersTest, BlobListKeepsValues)
{
    TcsBlobList blobs(GetParam());
    EXPECT_EQ(blobs.Add("first"), 1);
    EXPECT_EQ(blobs.Add(QByteArray()), 2);
    EXPECT_EQ(blobs.Add(QByteArray("\0\1\2", 3)), 3);
    EXPECT_TRUE(blobs.Replace(1, "a longer first value"));
    EXPECT_FALSE(blobs.Replace(4, "x"));
    EXPECT_EQ(blobs.Get(1), "a longer first value");
    EXPECT_EQ(blobs.Get(2), QByteArray());
    EXPECT_EQ(blobs.Get(3), QByteArray("\0\1\2", 3));
    EXPECT_EQ(blobs.Get(0), QByteArray());
    blobs.Free(3);
    EXPECT_EQ(blobs.Get(3), QByteArray());
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, BuffersTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& row) {
                             return row.param ? "File" : "Memory";
                         });

// The file mode against the memory mode as oracle: a long mixed run of
// appends, inserts, overwrites (of records already in the file and of
// records still waiting to be written), deletes and reads in both
// directions must read back the same bytes. Record sizes below and above
// the file mode's block size.
TEST(Buffers, FileModeReadsWhatMemoryModeReads)
{
    for (const int size : {7, 700, 70 * 1024}) {
        TcsBuffers file(size, true);
        TcsBuffers memory(size, false);
        quint32 seed = 12345;
        const auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return int(seed >> 8);
        };
        const auto recordOf = [size](int n) {
            QByteArray bytes(size, char('A' + n % 26));
            std::memcpy(bytes.data(), &n, std::min<size_t>(sizeof n, size_t(size)));
            return bytes;
        };
        QByteArray fromFile(size, '\0');
        QByteArray fromMemory(size, '\0');
        const int steps = size > 1000 ? 300 : 5000;
        for (int step = 0; step < steps; ++step) {
            const QByteArray value = recordOf(step);
            const int count = memory.Count();
            const int index = count > 0 ? 1 + next() % count : 1;
            switch (next() % 8) {
            case 0:
                ASSERT_EQ(file.Insert(index, value.constData()),
                          memory.Insert(index, value.constData()));
                break;
            case 1:
                ASSERT_EQ(file.Put(index, value.constData()), memory.Put(index, value.constData()));
                break;
            case 2:
                if (next() % 4 == 0) {
                    ASSERT_EQ(file.Delete(index), memory.Delete(index));
                }
                break;
            case 3:
            case 4:
                // Walk a stretch forwards or backwards, as navigation does.
                for (int i = 0, at = index; i < 20 && at >= 1 && at <= count; ++i) {
                    ASSERT_EQ(file.Get(at, fromFile.data()), memory.Get(at, fromMemory.data()));
                    ASSERT_EQ(fromFile, fromMemory)
                        << "size " << size << ", step " << step << ", record " << at;
                    at += step % 2 == 0 ? 1 : -1;
                }
                break;
            default:
                ASSERT_EQ(file.Append(value.constData()), memory.Append(value.constData()));
            }
        }
        ASSERT_EQ(file.Count(), memory.Count());
        for (int i = 1; i <= memory.Count(); ++i) {
            file.Get(i, fromFile.data());
            memory.Get(i, fromMemory.data());
            ASSERT_EQ(fromFile, fromMemory) << "size " << size << ", record " << i;
        }
        EXPECT_LT(QFileInfo(file.FileName()).size(), qint64(memory.Count() + 1) * size * 2)
            << "records are appended, not copied around";
    }
}

TEST(Buffers, TemporaryFilesArePrefixedAndRemoved)
{
    QString records;
    QString blobs;
    {
        TcsBuffers buffers(8, true);
        TcsBlobList blobList(true);
        buffers.Append(record('x', 8).constData());
        blobList.Add("value");
        records = buffers.FileName();
        blobs = blobList.FileName();
        EXPECT_TRUE(QFileInfo(records).fileName().startsWith(u"SQL"));
        EXPECT_TRUE(QFileInfo(blobs).fileName().startsWith(u"SQB"));
        EXPECT_TRUE(QFileInfo::exists(records));
        EXPECT_TRUE(QFileInfo::exists(blobs));
        buffers.Clear();
        EXPECT_FALSE(QFileInfo::exists(records));
    }
    EXPECT_FALSE(QFileInfo::exists(blobs));
}

TEST(ThreadList, TakesOldestFirst)
{
    int a = 1, b = 2;
    TcsThreadList<int> list;
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.TakeFirst(), &a);
    EXPECT_TRUE(list.Remove(&b));
    EXPECT_EQ(list.TakeFirst(), nullptr);
}

} // namespace
} // namespace lystra
