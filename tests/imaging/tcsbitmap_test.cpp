#include "imaging/tcsbitmap.h"
#include "testpage.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace lystra;

namespace {

// A bitmap of the given format with reproducible random pixels, colour
// table and resolution.
void fillRandom(TcsBitmap& bitmap, unsigned seed)
{
    std::mt19937 random(seed);
    std::uint8_t* bits = bitmap.bits();
    for (std::int64_t i = 0; i < bitmap.imageBytes(); ++i)
        bits[i] = std::uint8_t(random());
    TBitmapInfo* info = bitmap.bitmapInfo();
    for (auto& color : info->colors)
        color = random() & 0xFFFFFF;
    info->header.xPelsPerMeter = 11811;
    info->header.yPelsPerMeter = 2835;
}

QByteArray save(TcsBitmap& bitmap, TCompressionLevel level = cmNone)
{
    TMemoryStream stream;
    bitmap.setCompression(level);
    bitmap.saveToStream(stream);
    return stream.data();
}

void load(TcsBitmap& bitmap, const QByteArray& bytes)
{
    TMemoryStream stream(bytes);
    bitmap.loadFromStream(stream);
}

// Each row's pixel bytes, without the padding at the row end.
bool samePixels(const TcsBitmap& a, const TcsBitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    const auto used = size_t((std::int64_t{a.width()} * a.section().bitsPixel + 7) / 8);
    for (int row = 0; row < a.height(); ++row)
        if (std::memcmp(a.scanLine(row), b.scanLine(row), used) != 0)
            return false;
    return true;
}

struct Le {
    QByteArray bytes;
    Le& u16(int v) { return add(v, 2); }
    Le& u32(std::uint32_t v) { return add(v, 4); }
    Le& raw(const QByteArray& b) { bytes += b; return *this; }
    Le& add(std::uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            bytes += char(v >> (8 * i));
        return *this;
    }
};

// A plain 24-bit 2 x 2 "BM" file whose fields can be overridden.
QByteArray smallBmp(int width = 2, int height = 2, int planes = 1, int bits = 24,
                    std::uint32_t compression = 0, std::uint32_t clrUsed = 0,
                    std::uint32_t fileSize = 14 + 40 + 16, std::uint32_t headerSize = 40)
{
    Le b;
    b.raw("BM").u32(fileSize).u32(0).u32(54);
    b.u32(headerSize).u32(std::uint32_t(width)).u32(std::uint32_t(height)).u16(planes).u16(bits);
    b.u32(compression).u32(0).u32(0).u32(0).u32(clrUsed).u32(0);
    b.raw(QByteArray(16, '\x7F'));
    return b.bytes;
}

} // namespace

TEST(TcsBitmap, NewImageIsWhiteAndSized)
{
    TcsBitmap bitmap(37, 5, pf24bit);
    EXPECT_EQ(bitmap.width(), 37);
    EXPECT_EQ(bitmap.height(), 5);
    EXPECT_EQ(bitmap.rowBytes(), 112); // 111 bytes padded to 32 bits
    EXPECT_EQ(bitmap.pixelFormat(), pf24bit);
    const TBitmapInfoHeader& h = bitmap.bitmapInfo()->header;
    EXPECT_EQ(h.sizeImage, 112u * 5);
    EXPECT_EQ(h.height, 5); // bottom-up
    EXPECT_TRUE(std::all_of(bitmap.bits(), bitmap.bits() + bitmap.imageBytes(),
                            [](std::uint8_t b) { return b == 0xFF; }));

    bitmap.newImage(0, 10, pf8bit);
    EXPECT_EQ(bitmap.width(), 37) << "a zero size leaves the image as it was";

    TcsBitmap sixteen(3, 3, pf16bit);
    EXPECT_EQ(sixteen.pixelFormat(), pf15bit) << "new images are never bit-field images";
    TcsBitmap mono(8, 1, pf1bit);
    EXPECT_EQ(mono.bitmapInfo()->colors[0], 0x000000u);
    EXPECT_EQ(mono.bitmapInfo()->colors[1], 0xFFFFFFu);
}

TEST(TcsBitmap, StreamsRoundTripEveryFormatAndCompression)
{
    const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf24bit, pf32bit};
    const TCompressionLevel levels[] = {cmNone, cmLZRW1KH, cmZLIBfast, cmZLIBmax, cmMix};
    for (const TPixelFormat format : formats) {
        TcsBitmap original(37, 23, format);
        fillRandom(original, unsigned(format));
        for (const TCompressionLevel level : levels) {
            SCOPED_TRACE(::testing::Message() << "format " << format << " compression " << level);
            const QByteArray bytes = save(original, level);
            EXPECT_EQ(bytes.left(2), level == cmNone ? QByteArray("BM") : QByteArray("SP"));
            TcsBitmap copy;
            load(copy, bytes);
            ASSERT_FALSE(copy.isEmpty());
            EXPECT_EQ(copy.bitmapInfo()->header, original.bitmapInfo()->header);
            const int entries = colorTableLength(original.section().bitsPixel);
            EXPECT_TRUE(std::equal(copy.bitmapInfo()->colors.begin(),
                                   copy.bitmapInfo()->colors.begin() + entries,
                                   original.bitmapInfo()->colors.begin()));
            EXPECT_TRUE(samePixels(copy, original));
            EXPECT_EQ(copy.streamInfo().originalSize, original.streamInfo().originalSize);
            if (level == cmNone) {
                EXPECT_EQ(copy.streamInfo().totalSize, std::uint32_t(bytes.size()));
            } else {
                EXPECT_EQ(copy.streamInfo().totalSize, std::uint32_t(bytes.size() - 14));
                EXPECT_EQ(copy.streamInfo(), original.streamInfo());
            }
        }
    }
}

TEST(TcsBitmap, BitFieldImagesKeepTheirMasks)
{
    // A 5-6-5 image as other programs write it: 40-byte header, masks after it.
    Le b;
    b.raw("BM").u32(14 + 52 + 8).u32(0).u32(66);
    b.u32(40).u32(2).u32(2).u16(1).u16(16).u32(kBiBitfields).u32(8).u32(0).u32(0).u32(0).u32(0);
    b.u32(0xF800).u32(0x07E0).u32(0x001F);
    b.u16(0xF800).u16(0x07E0).u16(0x001F).u16(0xFFFF);
    TcsBitmap bitmap;
    load(bitmap, b.bytes);
    ASSERT_EQ(bitmap.pixelFormat(), pf16bit);
    EXPECT_EQ(bitmap.pixelRgb(0, 0), qRgb(0xF8, 0, 0));
    EXPECT_EQ(bitmap.pixelRgb(1, 0), qRgb(0, 0xFC, 0));
    EXPECT_EQ(bitmap.pixelRgb(0, 1), qRgb(0, 0, 0xF8));

    TcsBitmap copy;
    load(copy, save(bitmap));
    EXPECT_EQ(copy.pixelFormat(), pf16bit);
    EXPECT_EQ(copy.section().bitfields, bitmap.section().bitfields);
    EXPECT_TRUE(samePixels(copy, bitmap));
}

TEST(TcsBitmap, WrittenFilesReadBackWithQtsReader)
{
    for (const TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(::testing::Message() << "format " << format);
        TcsBitmap bitmap(29, 13, format);
        fillRandom(bitmap, 40 + unsigned(format));
        const QImage image = QImage::fromData(save(bitmap), "BMP");
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.size(), QSize(29, 13));
        int differences = 0;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 29; ++x)
                differences += qRgb(qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)),
                                    qBlue(image.pixel(x, y)))
                               != bitmap.pixelRgb(x, 12 - y);
        EXPECT_EQ(differences, 0);
        EXPECT_EQ(image.dotsPerMeterX(), 11811);
    }
}

TEST(TcsBitmap, AssignsQtImagesWithTheResolutionStamp)
{
    const QImage page = lystra::testing::renderReportPage(630, 891);
    QImage image = page;
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);

    TcsBitmap bitmap;
    int changes = 0;
    bitmap.setOnChange([&](TcsBitmap&) { ++changes; });
    bitmap.assignGraphic(image, 300);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(bitmap.pixelFormat(), pf24bit);
    EXPECT_EQ(bitmap.bitmapInfo()->header.xPelsPerMeter, 12000);
    EXPECT_EQ(bitmap.bitmapInfo()->header.yPelsPerMeter, 12000);
    EXPECT_EQ(bitmap.toImage().convertToFormat(QImage::Format_RGB32),
              page.convertToFormat(QImage::Format_RGB32));

    bitmap.assignGraphic(image, 0);
    EXPECT_EQ(bitmap.bitmapInfo()->header.xPelsPerMeter, 3937);
}

TEST(TcsBitmap, ReadsTheCoreHeader)
{
    Le b;
    b.raw("BM").u32(14 + 12 + 6 + 8).u32(0).u32(32);
    b.u32(12).u16(3).u16(2).u16(1).u16(1);
    b.raw(QByteArray("\x10\x20\x30\xA0\xB0\xC0", 6)); // blue, green, red
    b.raw(QByteArray("\xA0\x00\x00\x00\x40\x00\x00\x00", 8)); // rows 101, 010
    TcsBitmap bitmap;
    load(bitmap, b.bytes);
    ASSERT_FALSE(bitmap.isEmpty());
    const TBitmapInfo& info = *bitmap.bitmapInfo();
    EXPECT_EQ(info.header.size, 40u);
    EXPECT_EQ(info.header.width, 3);
    EXPECT_EQ(info.header.clrUsed, 2u);
    EXPECT_EQ(info.colors[0], 0x302010u);
    EXPECT_EQ(info.colors[1], 0xC0B0A0u);
    bitmap.setCurrentRow(0);
    EXPECT_EQ(bitmap.pixelValue(0), 1u);
    EXPECT_EQ(bitmap.pixelValue(1), 0u);
    EXPECT_EQ(bitmap.pixelRgb(2, 0), qRgb(0xC0, 0xB0, 0xA0));
}

TEST(TcsBitmap, UnreadableStreamsLeaveAnEmptyBitmap)
{
    const QByteArray good = smallBmp();
    QByteArray compressedGood;
    {
        TcsBitmap b;
        load(b, good);
        compressedGood = save(b, cmLZRW1KH);
    }
    QByteArray compressedDamaged = compressedGood;
    compressedDamaged[34] = char(0xF0); // a block length beyond the data
    compressedDamaged[35] = char(0x7F);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"another type", "XX" + good.mid(2)},
        {"file header cut off", good.left(9)},
        {"DIB header cut off", good.left(30)},
        {"pixels cut off", good.left(60)},
        {"file size smaller than the headers", smallBmp(2, 2, 1, 24, 0, 0, 20)},
        {"two planes", smallBmp(2, 2, 2)},
        {"zero width", smallBmp(0, 2)},
        {"negative width", smallBmp(-2, 2)},
        {"huge image", smallBmp(60000, 60000)},
        {"unknown bit count", smallBmp(2, 2, 1, 7)},
        {"colour table beyond its room", smallBmp(2, 2, 1, 24, 0, 1000, 100000)},
        {"header size of 5", smallBmp(2, 2, 1, 24, 0, 0, 70, 5)},
        {"header size of 2 GB", smallBmp(2, 2, 1, 24, 0, 0, 70, 0x7FFFFFFF)},
        {"run-length compressed", smallBmp(2, 2, 1, 8, kBiRle8)},
        {"JPEG inside", smallBmp(2, 2, 1, 24, 4)},
        {"compressed without record", "SP" + good.mid(2)},
        {"compressed block damaged", compressedDamaged},
        {"compressed stream cut off", compressedGood.left(compressedGood.size() - 3)},
    };
    for (const auto& c : cases) {
        TcsBitmap bitmap(4, 4, pf24bit);
        int changes = 0;
        bitmap.setOnChange([&](TcsBitmap&) { ++changes; });
        EXPECT_NO_THROW(load(bitmap, c.bytes)) << c.name;
        EXPECT_TRUE(bitmap.isEmpty()) << c.name;
        EXPECT_EQ(bitmap.section().bits, nullptr) << c.name;
        EXPECT_EQ(changes, 1) << c.name;
    }
    TcsBitmap bitmap;
    load(bitmap, good);
    EXPECT_FALSE(bitmap.isEmpty()) << "the unaltered file reads";
}

TEST(TcsBitmap, PixelValueDecodesEachFormat)
{
    struct Case {
        TPixelFormat format;
        QByteArray row;
        int column;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {pf1bit, QByteArray("\x20", 1), 2, 1},
        {pf1bit, QByteArray("\x20", 1), 3, 0},
        {pf4bit, QByteArray("\x3A", 1), 0, 0x3},
        {pf4bit, QByteArray("\x3A", 1), 1, 0xA},
        {pf8bit, QByteArray("\x00\xC8", 2), 1, 200},
        {pf15bit, QByteArray("\x00\x00\x1F\xF8", 4), 1, 0x00F800F8}, // read as 5-6-5
        {pf15bit, QByteArray("\xE0\x07", 2), 0, 0x0000FC00},
        {pf24bit, QByteArray("\x00\x00\x00\x11\x22\x33", 6), 1, 0x00112233},
        {pf32bit, QByteArray("\x11\x22\x33\x00", 4), 0, 0x00112233},
    };
    for (const Case& c : cases) {
        TcsBitmap bitmap(8, 2, c.format);
        std::memcpy(bitmap.scanLine(1), c.row.constData(), size_t(c.row.size()));
        bitmap.setCurrentRow(5); // clamped to the last row
        EXPECT_EQ(bitmap.currentRow(), 1);
        EXPECT_EQ(bitmap.pixelValue(c.column), c.expected)
            << "format " << c.format << " column " << c.column;
    }
}

TEST(TcsBitmap, PaletteOnlyForMoreThanTwoColours)
{
    EXPECT_TRUE(TcsBitmap(4, 4, pf24bit).getPalette().isEmpty());
    EXPECT_TRUE(TcsBitmap(4, 4, pf1bit).getPalette().isEmpty());
    TcsBitmap indexed(4, 4, pf8bit);
    indexed.bitmapInfo()->colors[7] = 0x123456;
    const QList<QRgb> palette = indexed.getPalette();
    ASSERT_EQ(palette.size(), 256);
    EXPECT_EQ(palette[7], qRgb(0x12, 0x34, 0x56));
}

TEST(TcsBitmap, DrawFromConvertsTopLeftAligned)
{
    TcsBitmap indexed(3, 2, pf8bit);
    indexed.bitmapInfo()->colors[1] = 0xFF0000;
    indexed.bitmapInfo()->colors[2] = 0x00FF00;
    std::memset(indexed.scanLine(0), 1, 3); // bottom row red
    std::memset(indexed.scanLine(1), 2, 3); // top row green
    TcsBitmap target(4, 3, pf24bit);
    target.drawFrom(indexed);
    EXPECT_EQ(target.pixelRgb(0, 2), qRgb(0, 255, 0));
    EXPECT_EQ(target.pixelRgb(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixelRgb(0, 0), qRgb(255, 255, 255)) << "outside the source stays";
    EXPECT_EQ(target.pixelRgb(3, 2), qRgb(255, 255, 255));

    TcsBitmap back(3, 2, pf8bit, indexed.bitmapInfo());
    back.drawFrom(target);
    EXPECT_EQ(back.pixelRgb(1, 1), qRgb(0, 255, 0)) << "nearest colour of the table";
}

TEST(TcsBitmap, AssignGraphicCopiesExactly)
{
    TcsBitmap source(5, 3, pf8bit);
    fillRandom(source, 9);
    TcsBitmap copy;
    int changes = 0;
    copy.setOnChange([&](TcsBitmap&) { ++changes; });
    copy.assignGraphic(&source);
    EXPECT_EQ(copy.bitmapInfo()->header, source.bitmapInfo()->header);
    EXPECT_EQ(copy.bitmapInfo()->colors, source.bitmapInfo()->colors);
    EXPECT_TRUE(samePixels(copy, source));
    EXPECT_EQ(changes, 0);
    TcsBitmap empty;
    copy.assignGraphic(&empty);
    EXPECT_FALSE(copy.isEmpty()) << "an empty source leaves the bitmap unchanged";
}
