// The bitmap stream reader and writer of TcsBitmap: "BM" files and the
// compressed "SP" form.
#include "imaging/tcsbitmap.h"

#include "platform/rounding.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstring>

namespace lystra {

namespace {

constexpr std::uint16_t kTypePlain = 0x4D42;      // "BM"
constexpr std::uint16_t kTypeCompressed = 0x5053; // "SP"
constexpr int kFileHeaderSize = 14;
constexpr int kCoreHeaderSize = 12;
// Headers larger than this (the largest known is 124 bytes) are not bitmaps.
constexpr std::uint32_t kMaxHeaderSize = 4096;
constexpr int kPageResolution = 12000; // pixels per metre: 12 per millimetre

[[noreturn]] void invalidDib()
{
    throw Exception(QStringLiteral("Invalid DIB format !"));
}

struct FileHeader {
    std::uint16_t type = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t offset = 0;

    std::array<std::uint8_t, kFileHeaderSize> toBytes() const
    {
        std::array<std::uint8_t, kFileHeaderSize> b{};
        b[0] = std::uint8_t(type);
        b[1] = std::uint8_t(type >> 8);
        for (int i = 0; i < 4; ++i) {
            b[2 + i] = std::uint8_t(fileSize >> (8 * i));
            b[10 + i] = std::uint8_t(offset >> (8 * i));
        }
        return b;
    }
};

TCompressorHeader plainStreamInfo(std::uint32_t fileSize)
{
    TCompressorHeader info;
    info.recordSize = TCompressorHeader::kSize;
    info.originalSize = fileSize;
    info.totalSize = fileSize;
    return info;
}

bool hasMasks(const TBitmapInfoHeader& h)
{
    return h.bitCount > 8 && (h.compression & 3) != 0;
}

} // namespace

void TcsBitmap::loadFromStream(TStream& stream)
{
    readStream(stream);
    signalChange();
}

void TcsBitmap::readStream(TStream& stream)
{
    std::uint8_t b[kFileHeaderSize];
    if (stream.read(b, kFileHeaderSize) != kFileHeaderSize) {
        clear();
        return;
    }
    const std::uint16_t type = std::uint16_t(b[0] | b[1] << 8);
    const std::uint32_t fileSize = std::uint32_t{b[2]} | std::uint32_t{b[3]} << 8
                                   | std::uint32_t{b[4]} << 16 | std::uint32_t{b[5]} << 24;
    m_streamInfo = plainStreamInfo(fileSize);
    if (type == kTypePlain) {
        readDib(stream, std::int64_t{fileSize} - kFileHeaderSize);
    } else if (type == kTypeCompressed) {
        // A missing or damaged information record fails in the size query;
        // like every other unreadable stream, it leaves an empty bitmap.
        try {
            TCompressorStream compressed(stream);
            compressed.setActive(true);
            const std::int64_t size = compressed.size();
            readDib(compressed, size);
            m_streamInfo = compressed.header();
        } catch (const std::exception&) {
            clear();
        }
    } else {
        clear();
    }
}

void TcsBitmap::readDib(TStream& stream, std::int64_t size)
{
    try {
        readDibUnguarded(stream, size);
    } catch (const std::exception&) {
        clear();
    }
    takeSnapshot();
}

void TcsBitmap::readDibUnguarded(TStream& stream, std::int64_t size)
{
    clear();
    std::uint8_t word[4];
    stream.readBuffer(word, 4);
    std::uint32_t headerSize = std::uint32_t{word[0]} | std::uint32_t{word[1]} << 8
                               | std::uint32_t{word[2]} << 16 | std::uint32_t{word[3]} << 24;
    const bool core = headerSize == kCoreHeaderSize;
    if (!core && (headerSize < TBitmapInfoHeader::kSize || headerSize > kMaxHeaderSize))
        invalidDib();

    auto info = std::make_unique<TBitmapInfo>();
    TBitmapInfoHeader& h = info->header;
    if (core) {
        std::uint8_t c[8];
        stream.readBuffer(c, 8);
        h.width = c[0] | c[1] << 8;
        h.height = c[2] | c[3] << 8;
        h.planes = std::uint16_t(c[4] | c[5] << 8);
        h.bitCount = std::uint16_t(c[6] | c[7] << 8);
        headerSize = TBitmapInfoHeader::kSize;
        size -= kCoreHeaderSize;
    } else {
        QByteArray rest(qsizetype(headerSize), '\0');
        std::memcpy(rest.data(), word, 4);
        stream.readBuffer(rest.data() + 4, headerSize - 4);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(rest.constData());
        h = TBitmapInfoHeader::fromBytes(bytes);
        // Version 4 and 5 headers carry the colour masks inside themselves.
        if (headerSize >= TBitmapInfoHeader::kSize + 12 && h.compression == kBiBitfields)
            std::memcpy(info->masks.data(), bytes + TBitmapInfoHeader::kSize, 12);
        size -= headerSize;
    }
    h.size = headerSize;
    if (h.planes != 1)
        invalidDib();

    if (headerSize == TBitmapInfoHeader::kSize && (h.bitCount == 16 || h.bitCount == 32)
        && h.compression == kBiBitfields) {
        std::uint8_t m[12];
        stream.readBuffer(m, 12);
        for (int i = 0; i < 3; ++i)
            info->masks[size_t(i)] = std::uint32_t{m[4 * i]} | std::uint32_t{m[4 * i + 1]} << 8
                                     | std::uint32_t{m[4 * i + 2]} << 16
                                     | std::uint32_t{m[4 * i + 3]} << 24;
        size -= 12;
    }

    if (h.clrUsed == 0)
        h.clrUsed = std::uint32_t(colorTableLength(h.bitCount));
    // The header block has room for 256 entries and no more.
    if (h.clrUsed > 256)
        invalidDib();
    const int entrySize = core ? 3 : 4;
    std::array<std::uint8_t, 256 * 4> table{};
    stream.readBuffer(table.data(), std::int64_t{h.clrUsed} * entrySize);
    size -= std::int64_t{h.clrUsed} * entrySize;
    // Core tables hold blue, green, red; widen them to 4-byte entries.
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* e = &table[size_t(i * entrySize)];
        info->colors[size_t(i)] = std::uint32_t{e[0]} | std::uint32_t{e[1]} << 8
                                  | std::uint32_t{e[2]} << 16
                                  | (core ? 0u : std::uint32_t{e[3]} << 24);
    }

    if (h.compression == kBiRle8 || h.compression == kBiRle4)
        return; // run-length images are not decoded: the bitmap stays empty
    const bool bitsOk = h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8
                        || h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32;
    const bool compressionOk =
        h.compression == kBiRgb
        || (h.compression == kBiBitfields && (h.bitCount == 16 || h.bitCount == 32));
    if (!bitsOk || !compressionOk || h.width <= 0 || h.height == 0
        || h.height == std::numeric_limits<std::int32_t>::min())
        invalidDib();

    const std::int64_t rowBytes = dibRowBytes(h.width, h.bitCount);
    const std::int64_t sectionBytes = rowBytes * std::abs(std::int64_t{h.height});
    if (sectionBytes > kMaxImageBytes)
        invalidDib();
    if (h.sizeImage == 0)
        h.sizeImage = std::uint32_t(sectionBytes);
    if (size >= 0 && h.sizeImage < size)
        size = h.sizeImage;
    // A header may claim more pixel bytes than its size holds; never read
    // past the end of the section.
    size = std::min(size, sectionBytes);

    allocate(h, sectionBytes);
    m_info = std::move(info);
    m_currentRow = 0;
    stream.readBuffer(m_bits.get(), size);
}

void TcsBitmap::loadFromPackedDib(const QByteArray& dib, int dpi)
{
    TMemoryStream stream(dib);
    readDib(stream, dib.size());
    if (m_bits) {
        const int resolution = roundHalfEven(dpi / kMillimetresPerInch) * 1000;
        m_info->header.xPelsPerMeter = resolution;
        m_info->header.yPelsPerMeter = resolution;
        takeSnapshot();
    }
    signalChange();
}

void TcsBitmap::assignGraphic(const QImage& image, int stampResolution)
{
    if (image.isNull())
        return;
    QByteArray file;
    {
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
    }
    TMemoryStream stream(std::move(file));
    readStream(stream);
    if (stampResolution != 0 && m_bits) {
        m_info->header.xPelsPerMeter = kPageResolution;
        m_info->header.yPelsPerMeter = kPageResolution;
        takeSnapshot();
    }
    signalChange();
}

void TcsBitmap::saveToStream(TStream& stream)
{
    if (!m_bits)
        return;
    TBitmapInfoHeader& h = m_info->header;
    const bool masks = hasMasks(h);
    const int headerBytes = TBitmapInfoHeader::kSize + (masks ? 12 : 0);
    // The colour table written is the one the header announces, so that the
    // file header's sizes and offsets agree with the bytes that follow.
    const int tableEntries =
        h.clrUsed != 0 ? int(std::min<std::uint32_t>(h.clrUsed, 256)) : colorTableLength(h.bitCount);
    const std::int64_t tableBytes = std::int64_t{tableEntries} * 4;
    const std::int64_t dibBytes = headerBytes + tableBytes + imageBytes();
    if (masks && m_info->masks[0] == 0) {
        if (h.bitCount == 16)
            m_info->masks = {0xF800, 0x07E0, 0x001F};
        else
            m_info->masks = {0xFF0000, 0x00FF00, 0x0000FF};
        takeSnapshot();
    }

    if (m_compression != cmNone) {
        FileHeader fileHeader{kTypeCompressed, 0, kFileHeaderSize + TCompressorHeader::kSize};
        TCompressorStream compressed(stream);
        const auto bytes = fileHeader.toBytes();
        compressed.writeBuffer(bytes.data(), bytes.size());
        compressed.setActive(true);
        compressed.setMethod(m_compression);
        compressed.setSize(dibBytes);
        writeDib(compressed, tableEntries);
        m_streamInfo = compressed.header();
        compressed.setActive(false);
    } else {
        const std::uint32_t fileSize = std::uint32_t(kFileHeaderSize + dibBytes);
        FileHeader fileHeader{kTypePlain, fileSize,
                              std::uint32_t(kFileHeaderSize + headerBytes + tableBytes)};
        m_streamInfo = plainStreamInfo(fileSize);
        const auto bytes = fileHeader.toBytes();
        stream.writeBuffer(bytes.data(), bytes.size());
        writeDib(stream, tableEntries);
    }
}

void TcsBitmap::writeDib(TStream& stream, int tableEntries) const
{
    // Exactly 40 header bytes go out, whatever header was read, and the
    // image size is that of the pixels that follow.
    TBitmapInfoHeader h = m_info->header;
    h.size = TBitmapInfoHeader::kSize;
    h.sizeImage = std::uint32_t(imageBytes());
    const auto header = h.toBytes();
    stream.writeBuffer(header.data(), header.size());
    std::array<std::uint8_t, 256 * 4> buffer{};
    if (hasMasks(h)) {
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 4; ++k)
                buffer[size_t(4 * i + k)] = std::uint8_t(m_section.bitfields[size_t(i)] >> (8 * k));
        stream.writeBuffer(buffer.data(), 12);
    }
    for (int i = 0; i < tableEntries; ++i)
        for (int k = 0; k < 4; ++k)
            buffer[size_t(4 * i + k)] = std::uint8_t(m_info->colors[size_t(i)] >> (8 * k));
    stream.writeBuffer(buffer.data(), std::int64_t{tableEntries} * 4);
    stream.writeBuffer(m_bits.get(), imageBytes());
}

void TcsBitmap::loadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    TDeviceStream stream(file);
    loadFromStream(stream);
}

void TcsBitmap::saveToFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    TDeviceStream stream(file);
    saveToStream(stream);
}

} // namespace lystra
