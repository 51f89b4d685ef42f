#include "db/tcsbuffers.h"

#include <QFileInfo>

#include <gtest/gtest.h>

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
                         [](const testing::TestParamInfo<bool>& row) { return row.param ? "File" : "Memory"; });

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
