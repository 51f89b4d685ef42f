#include "imaging/tcsbitmap.h"

#include "imaging/resample.h"

#include <QImage>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace lystra {

namespace {

void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint32_t get32(const std::uint8_t* at)
{
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16
           | std::uint32_t{at[3]} << 24;
}

std::uint16_t get16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

int bitsForFormat(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    case pfDevice:
    case pf24bit:
    case pfCustom: break;
    }
    return 24;
}

// Widens a masked channel to 8 bits.
int channel(std::uint32_t value, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const std::uint32_t v = (value & mask) >> shift;
    // The channel goes to the top bits of its byte, as the display does
    // (and as pixelValue reports 16-bit pixels).
    return int(width >= 8 ? v >> (width - 8) : v << (8 - width));
}

} // namespace

std::array<std::uint8_t, TBitmapInfoHeader::kSize> TBitmapInfoHeader::toBytes() const
{
    std::array<std::uint8_t, kSize> b{};
    put32(&b[0], size);
    put32(&b[4], std::uint32_t(width));
    put32(&b[8], std::uint32_t(height));
    put16(&b[12], planes);
    put16(&b[14], bitCount);
    put32(&b[16], compression);
    put32(&b[20], sizeImage);
    put32(&b[24], std::uint32_t(xPelsPerMeter));
    put32(&b[28], std::uint32_t(yPelsPerMeter));
    put32(&b[32], clrUsed);
    put32(&b[36], clrImportant);
    return b;
}

TBitmapInfoHeader TBitmapInfoHeader::fromBytes(const std::uint8_t* b)
{
    TBitmapInfoHeader h;
    h.size = get32(b);
    h.width = std::int32_t(get32(b + 4));
    h.height = std::int32_t(get32(b + 8));
    h.planes = get16(b + 12);
    h.bitCount = get16(b + 14);
    h.compression = get32(b + 16);
    h.sizeImage = get32(b + 20);
    h.xPelsPerMeter = std::int32_t(get32(b + 24));
    h.yPelsPerMeter = std::int32_t(get32(b + 28));
    h.clrUsed = get32(b + 32);
    h.clrImportant = get32(b + 36);
    return h;
}

int colorTableLength(int bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 ? 1 << bitCount : 0;
}

std::int64_t dibRowBytes(std::int64_t width, int bitCount)
{
    return ((width * bitCount + 31) & ~std::int64_t{31}) / 8;
}

void TcsBitmap::FreeDeleter::operator()(std::uint8_t* p) const
{
    std::free(p);
}

TcsBitmap::TcsBitmap() = default;

TcsBitmap::TcsBitmap(int width, int height, TPixelFormat format, const TBitmapInfo* templateInfo)
{
    newImage(width, height, format, templateInfo);
}

TcsBitmap::~TcsBitmap() = default;

int TcsBitmap::height() const
{
    return std::abs(m_section.height);
}

TPixelFormat TcsBitmap::pixelFormat() const
{
    const bool plain = m_section.header.compression == kBiRgb;
    switch (m_section.bitsPixel) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16:
        if (plain)
            return pf15bit;
        if (m_section.header.compression == kBiBitfields && m_section.bitfields[1] == 0x07E0)
            return pf16bit;
        return pfCustom;
    case 24: return pf24bit;
    case 32: return plain ? pf32bit : pfCustom;
    default: return pfCustom;
    }
}

void TcsBitmap::clear()
{
    m_bits.reset();
    m_info.reset();
    m_section = {};
    m_rowBytes = 0;
    m_currentRow = 0;
}

void TcsBitmap::allocate(const TBitmapInfoHeader& header, std::int64_t bytes)
{
    void* memory = bytes > 0 && bytes <= kMaxImageBytes ? std::calloc(size_t(bytes), 1) : nullptr;
    if (!memory)
        throw Exception(QStringLiteral("Out of resources !"));
    m_bits.reset(static_cast<std::uint8_t*>(memory));
    m_rowBytes = int(dibRowBytes(header.width, header.bitCount));
}

void TcsBitmap::takeSnapshot()
{
    m_section = {};
    if (!m_bits)
        return;
    const TBitmapInfoHeader& h = m_info->header;
    m_section.width = h.width;
    m_section.height = h.height;
    m_section.widthBytes = m_rowBytes;
    m_section.planes = h.planes;
    m_section.bitsPixel = h.bitCount;
    m_section.bits = m_bits.get();
    m_section.header = h;
    if (h.compression == kBiBitfields)
        m_section.bitfields = m_info->masks;
}

void TcsBitmap::newImage(int width, int height, TPixelFormat format,
                         const TBitmapInfo* templateInfo)
{
    if (width <= 0 || height <= 0)
        return;
    auto info = std::make_unique<TBitmapInfo>();
    if (templateInfo)
        *info = *templateInfo;
    const int bits = bitsForFormat(format);
    TBitmapInfoHeader& h = info->header;
    h.size = TBitmapInfoHeader::kSize;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = std::uint16_t(bits);
    h.compression = kBiRgb;
    const std::int64_t bytes = dibRowBytes(width, bits) * height;
    h.sizeImage = std::uint32_t(std::min<std::int64_t>(bytes, kMaxImageBytes + 1));
    h.clrUsed = std::uint32_t(colorTableLength(bits));
    info->masks = {};
    if (format == pf1bit) {
        info->colors[0] = 0x000000;
        info->colors[1] = 0xFFFFFF;
    }
    clear();
    allocate(h, bytes);
    m_info = std::move(info);
    std::memset(m_bits.get(), 0xFF, size_t(bytes));
    takeSnapshot();
}

void TcsBitmap::assignGraphic(const TcsBitmap* source)
{
    if (!source || source == this || source->isEmpty())
        return;
    // An exact copy: header, masks, colour table and pixels as they are, so
    // that formats a new image cannot be made in (5-6-5, top-down) survive.
    auto info = std::make_unique<TBitmapInfo>(*source->m_info);
    const std::int64_t bytes = source->imageBytes();
    clear();
    allocate(info->header, bytes);
    m_info = std::move(info);
    std::memcpy(m_bits.get(), source->bits(), size_t(bytes));
    takeSnapshot();
}

void TcsBitmap::setCurrentRow(int row)
{
    m_currentRow = std::clamp(row, 0, std::max(height() - 1, 0));
}

std::uint32_t TcsBitmap::pixelValue(int column) const
{
    if (!m_bits)
        return 0;
    const std::uint8_t* line = scanLine(m_currentRow);
    switch (m_section.bitsPixel) {
    case 1: return (line[column / 8] >> (7 - column % 8)) & 1;
    case 4: return column % 2 == 0 ? line[column / 2] >> 4 : line[column / 2] & 0x0F;
    case 8: return line[column];
    case 16: {
        const std::uint32_t v = get16(line + std::int64_t{column} * 2);
        const std::uint32_t blue = (v & 0x1F) << 3;
        const std::uint32_t green = ((v >> 5) & 0x3F) << 2;
        const std::uint32_t red = ((v >> 11) & 0x1F) << 3;
        return blue << 16 | green << 8 | red;
    }
    case 24:
    case 32: {
        const std::uint8_t* p = line + std::int64_t{column} * (m_section.bitsPixel / 8);
        return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    default: return 0;
    }
}

QRgb TcsBitmap::pixelRgb(int column, int row) const
{
    const std::uint8_t* line = scanLine(row);
    const int bits = m_section.bitsPixel;
    if (bits <= 8) {
        std::uint32_t index = 0;
        if (bits == 1)
            index = (line[column / 8] >> (7 - column % 8)) & 1;
        else if (bits == 4)
            index = column % 2 == 0 ? line[column / 2] >> 4 : line[column / 2] & 0x0F;
        else
            index = line[column];
        return 0xFF000000u | (m_info->colors[index] & 0xFFFFFF);
    }
    if (bits == 24 || (bits == 32 && m_section.header.compression == kBiRgb)) {
        const std::uint8_t* p = line + std::int64_t{column} * (bits / 8);
        return qRgb(p[2], p[1], p[0]);
    }
    std::uint32_t value = 0;
    std::array<std::uint32_t, 3> masks = m_section.bitfields;
    if (bits == 16) {
        value = get16(line + std::int64_t{column} * 2);
        if (m_section.header.compression == kBiRgb)
            masks = {0x7C00, 0x03E0, 0x001F};
    } else {
        value = get32(line + std::int64_t{column} * 4);
    }
    return qRgb(channel(value, masks[0]), channel(value, masks[1]), channel(value, masks[2]));
}

void TcsBitmap::setRgb(int column, int row, QRgb color)
{
    std::uint8_t* line = scanLine(row);
    const int bits = m_section.bitsPixel;
    if (bits == 24 || bits == 32) {
        std::uint8_t* p = line + std::int64_t{column} * (bits / 8);
        p[0] = std::uint8_t(qBlue(color));
        p[1] = std::uint8_t(qGreen(color));
        p[2] = std::uint8_t(qRed(color));
        return;
    }
    if (bits == 16) {
        const bool is565 = m_section.header.compression == kBiBitfields;
        const std::uint32_t v = is565 ? (qRed(color) >> 3) << 11 | (qGreen(color) >> 2) << 5
                                            | qBlue(color) >> 3
                                      : (qRed(color) >> 3) << 10 | (qGreen(color) >> 3) << 5
                                            | qBlue(color) >> 3;
        put16(line + std::int64_t{column} * 2, std::uint16_t(v));
        return;
    }
    // Indexed: the nearest colour of the table.
    const int entries = std::clamp<int>(int(m_info->header.clrUsed), 1, colorTableLength(bits));
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < entries; ++i) {
        const QRgb c = m_info->colors[i];
        const int dr = qRed(c) - qRed(color), dg = qGreen(c) - qGreen(color),
                  db = qBlue(c) - qBlue(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    if (bits == 8) {
        line[column] = std::uint8_t(best);
    } else if (bits == 4) {
        std::uint8_t& b = line[column / 2];
        b = column % 2 == 0 ? std::uint8_t((b & 0x0F) | best << 4) : std::uint8_t((b & 0xF0) | best);
    } else {
        std::uint8_t& b = line[column / 8];
        const std::uint8_t bit = std::uint8_t(0x80 >> (column % 8));
        b = best ? std::uint8_t(b | bit) : std::uint8_t(b & ~bit);
    }
}

QImage TcsBitmap::toImage() const
{
    if (!m_bits)
        return {};
    const int w = width();
    const int h = height();
    const bool bottomUp = m_section.height > 0;
    const int bits = m_section.bitsPixel;
    const bool direct24 = bits == 24;
    const bool direct32 = bits == 32 && m_section.header.compression == kBiRgb;
    QImage image(w, h, direct24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const int row = bottomUp ? h - 1 - y : y;
        uchar* to = image.scanLine(y);
        if (direct24 || direct32) {
            std::memcpy(to, scanLine(row), size_t(w) * (bits / 8));
            continue;
        }
        auto* pixels = reinterpret_cast<QRgb*>(to);
        for (int x = 0; x < w; ++x)
            pixels[x] = pixelRgb(x, row);
    }
    return image;
}

QList<QRgb> TcsBitmap::getPalette() const
{
    // The display is true colour: a palette is only a colour table to draw
    // with, so the standard 16-colour system palette plays no part.
    QList<QRgb> palette;
    if (!m_bits || m_info->header.clrUsed <= 2)
        return palette;
    const int entries = int(std::min<std::uint32_t>(m_info->header.clrUsed, 256));
    palette.reserve(entries);
    for (int i = 0; i < entries; ++i)
        palette.append(0xFF000000u | (m_info->colors[i] & 0xFFFFFF));
    return palette;
}

void TcsBitmap::drawFrom(const TcsBitmap& source)
{
    if (!m_bits || source.isEmpty())
        return;
    const int w = std::min(width(), source.width());
    const int h = std::min(height(), source.height());
    for (int y = 0; y < h; ++y) {
        const int from = source.m_section.height > 0 ? source.height() - 1 - y : y;
        const int to = m_section.height > 0 ? height() - 1 - y : y;
        for (int x = 0; x < w; ++x)
            setRgb(x, to, source.pixelRgb(x, from));
    }
}

void TcsBitmap::resample(TcsBitmap& destination) const
{
    if (!m_bits || destination.isEmpty() || &destination == this)
        return;
    if (destination.pixelFormat() != pf24bit) {
        // Both resamplers produce 24-bit pixels; other targets get them
        // converted.
        TcsBitmap work(destination.width(), destination.height(), pf24bit);
        resample(work);
        destination.drawFrom(work);
        return;
    }
    if (pixelFormat() == pf24bit)
        resample24(*this, destination);
    else
        filterResample(*this, destination, resampleFilter(QStringLiteral("Lanczos3")));
}

void TcsBitmap::signalChange()
{
    if (m_onChange)
        m_onChange(*this);
}

} // namespace lystra
