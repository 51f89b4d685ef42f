#include "imaging/bufferzlib.h"
#include "imaging/lzrw1kh.h"
#include "imaging/tcompressorstream.h"
#include "testpage.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace lystra;
using lystra::testing::randomBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes compressBlock(const Bytes& in)
{
    Bytes out(kLzrwBufferSize);
    out.resize(size_t(lzrwCompress(in.data(), int(in.size()), out.data())));
    return out;
}

int decompressBlock(const Bytes& block, Bytes& out)
{
    out.assign(kLzrwMaxBlock, 0);
    const int n = lzrwDecompress(block.data(), int(block.size()), out.data(), kLzrwMaxBlock);
    out.resize(size_t(std::max(n, 0)));
    return n;
}

QByteArray compressStream(const QByteArray& data, TCompressionLevel method, int threshold = 15)
{
    TMemoryStream target;
    TCompressorStream stream(target);
    stream.setActive(true);
    stream.setMethod(method);
    stream.setMixThreshold(threshold);
    stream.setSize(data.size());
    EXPECT_EQ(stream.write(data.constData(), data.size()), data.size());
    EXPECT_FALSE(stream.writing());
    stream.setActive(false);
    return target.data();
}

QByteArray decompressStream(const QByteArray& compressed, TCompressorHeader* header = nullptr)
{
    TMemoryStream target(compressed);
    TCompressorStream stream(target);
    stream.setActive(true);
    const std::int64_t size = stream.size();
    EXPECT_TRUE(stream.compressed());
    QByteArray data(size, '\0');
    EXPECT_EQ(stream.read(data.data(), size), size);
    EXPECT_FALSE(stream.reading());
    if (header)
        *header = stream.header();
    return data;
}

// The page image in its BMP file form: what a compressed bitmap stream holds.
QByteArray pageBytes()
{
    static const QByteArray bytes = [] {
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        lystra::testing::renderReportPage().copy(0, 0, 2520, 300).save(&buffer, "BMP");
        return file;
    }();
    return bytes;
}

std::uint32_t le32(const QByteArray& b, int at)
{
    std::uint32_t v;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}

} // namespace

TEST(Lzrw1kh, EqualBytesBecomeRunItems)
{
    const Bytes in(32768, 0x41);
    const Bytes out = compressBlock(in);
    // Eight runs of 4095 (count - 16 = 0x0FEF), then the last 8 bytes: a
    // literal and a copy of 7 from one byte back. Ten control bits.
    Bytes expected{0x40, 0xFF, 0x40};
    for (int i = 0; i < 8; ++i)
        expected.insert(expected.end(), {0x00, 0x0F, 0xEF, 0x41});
    expected.insert(expected.end(), {0x41, 0x00, 0x14});
    EXPECT_EQ(out, expected);
    Bytes back;
    EXPECT_EQ(decompressBlock(out, back), 32768);
    EXPECT_EQ(back, in);
}

TEST(Lzrw1kh, UnrepeatedBytesAreStored)
{
    Bytes in(100);
    for (int i = 0; i < 100; ++i)
        in[size_t(i)] = std::uint8_t(i * 37);
    const Bytes out = compressBlock(in);
    ASSERT_EQ(out.size(), 101u);
    EXPECT_EQ(out[0], 0x80);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin() + 1));
}

TEST(Lzrw1kh, RoundTripsBlocks)
{
    const QByteArray page = pageBytes();
    const QByteArray text = lystra::testing::reportSpoolText(3);
    const QByteArray random = randomBytes(32768);
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", {}},
        {"one byte", "x"},
        {"short", "abcabcabc"},
        {"overlapping copy", QByteArray(40, 'a') + "b" + QByteArray(17, 'a')},
        {"page", page.mid(20000, 32768)},
        {"spool text", text.left(32768)},
        {"random", random},
    };
    for (const auto& c : cases) {
        const Bytes in(c.data.begin(), c.data.end());
        const Bytes out = compressBlock(in);
        EXPECT_LE(out.size(), in.size() + 1) << c.name;
        Bytes back;
        decompressBlock(out, back);
        EXPECT_EQ(back, in) << c.name;
    }
}

TEST(Lzrw1kh, DamagedBlocksAreRejected)
{
    Bytes eightLongRuns{0x40, 0xFF, 0x00};
    for (int i = 0; i < 8; ++i)
        eightLongRuns.insert(eightLongRuns.end(), {0x00, 0x0F, 0xFF, 0x41});
    Bytes controlWordAtTheEnd{0x40, 0x00, 0x00};
    controlWordAtTheEnd.insert(controlWordAtTheEnd.end(), 16, 'a');
    controlWordAtTheEnd.insert(controlWordAtTheEnd.end(), {0x00, 0x00});
    Bytes storedTooLong(kLzrwMaxBlock + 2, 0);
    storedTooLong[0] = 0x80;
    const struct {
        const char* name;
        Bytes block;
    } cases[] = {
        {"copy before the start", {0x40, 0x80, 0x00, 0x00, 0x13}},
        {"copy reaching back too far", {0x40, 0x20, 0x00, 'a', 'b', 0x00, 0x33}},
        {"runs passing the block", eightLongRuns},
        {"stored data longer than a block", storedTooLong},
        {"item cut off", {0x40, 0x80, 0x00, 0x00}},
        {"run item cut off", {0x40, 0x80, 0x00, 0x00, 0x01, 0x02}},
        {"control word cut off", {0x40, 0x00}},
        {"control word without items", controlWordAtTheEnd},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(decompressBlock(c.block, out), -1) << c.name;
    }
}

TEST(CompressorStream, RoundTripsEveryMethod)
{
    const struct {
        const char* name;
        QByteArray data;
    } inputs[] = {
        {"random", randomBytes(70000)},
        {"page", pageBytes()},
        {"spool text", lystra::testing::reportSpoolText(4)},
        {"exactly two blocks", QByteArray(65536, 'z')},
        {"one byte", "q"},
    };
    const struct {
        TCompressionLevel method;
        const char* tag;
    } methods[] = {{cmLZRW1KH, "CMPF"}, {cmZLIBfast, "CMPH"}, {cmZLIBmax, "CMMH"}, {cmMix, "CXIM"}};
    for (const auto& in : inputs) {
        for (const auto& m : methods) {
            SCOPED_TRACE(std::string(in.name) + " " + m.tag);
            const QByteArray packed = compressStream(in.data, m.method);
            ASSERT_GE(packed.size(), 20);
            EXPECT_EQ(le32(packed, 0), 20u);
            EXPECT_EQ(packed.mid(4, 4), QByteArray(m.tag));
            EXPECT_EQ(le32(packed, 8), std::uint32_t(in.data.size()));
            EXPECT_EQ(le32(packed, 12), 0x0100u);
            EXPECT_EQ(le32(packed, 16), std::uint32_t(packed.size()));
            TCompressorHeader header;
            const QByteArray back = decompressStream(packed, &header);
            ASSERT_EQ(back.size(), in.data.size());
            const auto diff = std::mismatch(back.begin(), back.end(), in.data.begin());
            EXPECT_EQ(diff.first, back.end()) << "first difference at byte "
                                              << (diff.first - back.begin());
            EXPECT_EQ(header.totalSize, std::uint32_t(packed.size()));
        }
    }
}

TEST(CompressorStream, SeventyThousandBytesMakeThreeBlocks)
{
    const QByteArray data = randomBytes(70000, 7);
    const QByteArray packed = compressStream(data, cmLZRW1KH);
    std::vector<int> blockSizes;
    int at = 20;
    while (at < packed.size()) {
        const int length = std::uint8_t(packed[at]) | std::uint8_t(packed[at + 1]) << 8;
        const Bytes block(packed.begin() + at + 2, packed.begin() + at + 2 + length);
        Bytes out;
        blockSizes.push_back(decompressBlock(block, out));
        at += 2 + length;
    }
    EXPECT_EQ(blockSizes, (std::vector<int>{32768, 32768, 4464}));
    EXPECT_EQ(at, packed.size());
    EXPECT_EQ(le32(packed, 16), std::uint32_t(packed.size()));
}

TEST(CompressorStream, MixKeepsLzrwUpToTheThreshold)
{
    // Blocks of random bytes followed by zeros: find the lengths at which
    // LZRW1/KH shrinks the block to exactly 15 % and 16 % (integer division).
    constexpr int n = 4000;
    const QByteArray random = randomBytes(n, 3);
    QByteArray at15, at16;
    for (int k = 0; k < n && (at15.isEmpty() || at16.isEmpty()); ++k) {
        QByteArray block = random.left(k) + QByteArray(n - k, '\0');
        const Bytes in(block.begin(), block.end());
        const int percent = int(compressBlock(in).size()) * 100 / n;
        if (percent == 15 && at15.isEmpty())
            at15 = block;
        if (percent == 16 && at16.isEmpty())
            at16 = block;
    }
    ASSERT_FALSE(at15.isEmpty());
    ASSERT_FALSE(at16.isEmpty());

    const QByteArray kept = compressStream(at15, cmMix);
    EXPECT_NE(kept.mid(20, 2), QByteArray("\xFF\xFF", 2)) << "15 % stays LZRW1/KH";
    EXPECT_EQ(decompressStream(kept), at15);

    const QByteArray zlib = compressStream(at16, cmMix);
    EXPECT_EQ(zlib.mid(20, 2), QByteArray("\xFF\xFF", 2)) << "16 % goes to zlib";
    EXPECT_EQ(decompressStream(zlib), at16);
    // zlib at level 9: the header's compression-level bits say "maximum".
    EXPECT_EQ(std::uint8_t(zlib[25]) >> 6, 3);
}

TEST(CompressorStream, TotalSizeOfFourteenIsReplacedByBytesConsumed)
{
    QByteArray packed = compressStream(randomBytes(5000), cmZLIBfast);
    const std::uint32_t fourteen = 14;
    std::memcpy(packed.data() + 16, &fourteen, 4);
    TCompressorHeader header;
    decompressStream(packed, &header);
    EXPECT_EQ(header.totalSize, std::uint32_t(packed.size()));
}

TEST(CompressorStream, DataWithoutRecordReadsAsPlainData)
{
    const QByteArray plain("BM plain bitmap bytes, no compression record in front");
    TMemoryStream target(plain);
    TCompressorStream stream(target);
    stream.setActive(true);
    EXPECT_EQ(stream.size(), plain.size());
    EXPECT_FALSE(stream.compressed());
    EXPECT_FALSE(stream.reading());
    EXPECT_EQ(target.position(), 0);
    stream.setActive(false);
    QByteArray back(plain.size(), '\0');
    EXPECT_EQ(stream.read(back.data(), back.size()), plain.size());
    EXPECT_EQ(back, plain);
}

TEST(CompressorStream, WritingPastTheDeclaredSizeIsShort)
{
    TMemoryStream target;
    TCompressorStream stream(target);
    stream.setActive(true);
    stream.setMethod(cmLZRW1KH);
    stream.setSize(10);
    const QByteArray data(15, 'x');
    EXPECT_EQ(stream.write(data.constData(), 15), 10);
    EXPECT_FALSE(stream.writing());
    EXPECT_EQ(decompressStream(target.data()), QByteArray(10, 'x'));
}

TEST(CompressorStream, ReportsProgressStages)
{
    TMemoryStream target;
    TCompressorStream stream(target);
    std::vector<std::pair<int, int>> events;
    stream.setOnProgress([&](TCompressorStream&, int stage, int percent) {
        events.emplace_back(stage, percent);
    });
    stream.setActive(true);
    stream.setSize(40000);
    const QByteArray data = randomBytes(40000);
    stream.write(data.constData(), 20000);
    stream.write(data.constData() + 20000, 20000);
    const std::vector<std::pair<int, int>> expected{{1, 0}, {2, 50}, {2, 82}, {2, 100},
                                                    {3, 100}, {0, 100}};
    EXPECT_EQ(events, expected);
}

TEST(CompressorStream, RefusesOperationsOutOfPhase)
{
    const QByteArray packed = compressStream(randomBytes(100), cmZLIBmax);
    char buffer[8] = {};
    const struct {
        const char* name;
        std::function<void(TCompressorStream&)> act;
        const char* message;
    } cases[] = {
        {"write while idle", [&](auto& s) { s.write(buffer, 8); },
         "Invalid operation, header not initialized"},
        {"read while idle", [&](auto& s) { s.read(buffer, 8); },
         "Invalid operation, header not initialized"},
        {"seek with an offset", [](auto& s) { s.seek(4, SeekOrigin::Beginning); },
         "Invalid operation, read/write pending"},
        {"switch off while writing", [](auto& s) { s.setSize(100), s.setActive(false); },
         "Invalid operation, write pending"},
        {"read while writing", [&](auto& s) { s.setSize(100), s.read(buffer, 8); },
         "Invalid operation, write pending"},
        {"seek while writing", [](auto& s) { s.setSize(100), s.seek(0, SeekOrigin::End); },
         "Invalid operation, write pending"},
        {"switch off while reading", [](auto& s) { s.size(), s.setActive(false); },
         "Invalid operation, read pending"},
        {"write while reading", [&](auto& s) { s.size(), s.write(buffer, 8); },
         "Invalid operation, read pending"},
        {"set size while reading", [](auto& s) { s.size(), s.setSize(10); },
         "Invalid operation, read pending"},
    };
    for (const auto& c : cases) {
        TMemoryStream target(packed);
        TCompressorStream stream(target);
        stream.setActive(true);
        try {
            c.act(stream);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const ECompressorException& e) {
            EXPECT_EQ(e.message(), QLatin1StringView(c.message)) << c.name;
        }
    }
}

TEST(CompressorStream, DamagedStreamsFailClearly)
{
    const QByteArray record = compressStream(QByteArray(), cmLZRW1KH).left(20);
    auto withSize = [&](std::uint32_t size) {
        QByteArray r = record;
        std::memcpy(r.data() + 8, &size, 4);
        return r;
    };
    const QByteArray lzrwBlockOf100 = compressStream(QByteArray(100, 'k'), cmLZRW1KH).mid(20);
    const struct {
        const char* name;
        QByteArray stream;
        const char* message;
    } cases[] = {
        {"unknown method tag", QByteArray(withSize(10)).replace(4, 4, "ABCD"),
         "Read error, compression header corrupt"},
        {"block size cut off", withSize(10) + "\x05", "Read error, reading block size"},
        {"zlib block size cut off", withSize(10) + "\xFF\xFF\x05",
         "Read error, reading ZLIB block size"},
        {"block longer than the data", withSize(10) + QByteArray("\x40\x00", 2) + "short",
         "Read error, reading data block"},
        {"block longer than its buffer", withSize(10) + QByteArray("\xFE\xFF", 2),
         "Read error, block size invalid"},
        {"copy before the start",
         withSize(10) + QByteArray("\x05\x00\x40\x80\x00\x00\x13", 7),
         "Read error, data block corrupt"},
        {"short block that is not the last", withSize(40000) + lzrwBlockOf100,
         "Read error, data block corrupt"},
        {"empty block", withSize(10) + QByteArray("\x00\x00", 2), "Read error, data block corrupt"},
        {"zlib block of garbage", withSize(10) + QByteArray("\xFF\xFF\x04\x00garb", 8), "error"},
    };
    for (const auto& c : cases) {
        TMemoryStream target(c.stream);
        TCompressorStream stream(target);
        stream.setActive(true);
        try {
            QByteArray out(64 * 1024, '\0');
            const std::int64_t size = stream.size();
            stream.read(out.data(), size);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), QLatin1StringView(c.message)) << c.name;
        }
    }
}
