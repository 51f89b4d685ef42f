#pragma once

#include "imaging/tcompressorstream.h"
#include "imaging/tstream.h"

#include <QList>
#include <QRgb>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QImage;

namespace lystra {

// Pixel formats with the ordinals of the platform's enumeration.
enum TPixelFormat : int {
    pfDevice = 0,
    pf1bit = 1,
    pf4bit = 2,
    pf8bit = 3,
    pf15bit = 4,
    pf16bit = 5,
    pf24bit = 6,
    pf32bit = 7,
    pfCustom = 8,
};

// Values of the header's compression field.
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;

// The 40-byte device-independent bitmap header, little-endian on disk.
struct TBitmapInfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: rows stored bottom-up
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;

    static constexpr int kSize = 40;
    std::array<std::uint8_t, kSize> toBytes() const;
    static TBitmapInfoHeader fromBytes(const std::uint8_t* bytes);
    bool operator==(const TBitmapInfoHeader&) const = default;
};

// The header block of a bitmap: the header, the three colour masks and room
// for 256 colour-table entries. An entry is stored blue, green, red,
// reserved, which read as a little-endian number is 0x00RRGGBB.
struct TBitmapInfo {
    TBitmapInfoHeader header;
    std::array<std::uint32_t, 3> masks{};
    std::array<std::uint32_t, 256> colors{};
};

// What the bitmap's memory section looks like: all zero when empty.
struct TDibSection {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t widthBytes = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitsPixel = 0;
    std::uint8_t* bits = nullptr;
    TBitmapInfoHeader header;
    std::array<std::uint32_t, 3> bitfields{};
};

// Colour-table length for a bit count: 2^bits for 1, 4 and 8 bits, else 0.
int colorTableLength(int bitCount);
// Bytes per pixel row, padded to 32 bits.
std::int64_t dibRowBytes(std::int64_t width, int bitCount);

// A device-independent bitmap in memory: bottom-up (or, when loaded so,
// top-down) rows padded to 32 bits, pixels blue-green-red, a header and a
// colour table beside it. Empty after construction, clear() and any load
// that fails. Not copyable; assignGraphic copies a picture.
class TcsBitmap {
public:
    using ChangeEvent = std::function<void(TcsBitmap& sender)>;

    // Pictures whose pixel memory would pass this are refused.
    static constexpr std::int64_t kMaxImageBytes = std::int64_t{512} << 20;

    TcsBitmap();
    // An image of the given size (see newImage).
    TcsBitmap(int width, int height, TPixelFormat format, const TBitmapInfo* templateInfo = nullptr);
    ~TcsBitmap();
    TcsBitmap(const TcsBitmap&) = delete;
    TcsBitmap& operator=(const TcsBitmap&) = delete;

    // A new image, every pixel byte 0xFF (24-bit images are white). A zero
    // width or height leaves the bitmap as it is. The template brings its
    // resolution and colour table along; 1-bit images get black and white.
    // Signals no change. Throws lystra::Exception ("Out of resources !")
    // when the memory cannot be had.
    void newImage(int width, int height, TPixelFormat format,
                  const TBitmapInfo* templateInfo = nullptr);
    void clear();

    // A copy of another bitmap (no change signalled; an empty source leaves
    // this one unchanged; none does nothing).
    void assignGraphic(const TcsBitmap* source);
    // The picture of a Qt image, taken through its BMP file form. A non-zero
    // stampResolution sets both resolutions to 12000 pixels per metre (the
    // page images are 12 pixels per millimetre), whatever its value.
    // Signals a change.
    void assignGraphic(const QImage& image, int stampResolution);

    bool isEmpty() const { return !m_bits; }
    int width() const { return m_section.width; }
    int height() const;
    TPixelFormat pixelFormat() const;
    int rowBytes() const { return m_rowBytes; }

    // None when empty.
    const TBitmapInfo* bitmapInfo() const { return m_bits ? m_info.get() : nullptr; }
    TBitmapInfo* bitmapInfo() { return m_bits ? m_info.get() : nullptr; }
    std::uint8_t* bits() { return m_bits.get(); }
    const std::uint8_t* bits() const { return m_bits.get(); }
    const TDibSection& section() const { return m_section; }
    std::int64_t imageBytes() const { return std::int64_t{m_rowBytes} * height(); }

    // Row in storage order (row 0 is the bottom row of a bottom-up image).
    // No bounds check.
    std::uint8_t* scanLine(int row) { return m_bits.get() + std::int64_t{row} * m_rowBytes; }
    const std::uint8_t* scanLine(int row) const
    {
        return m_bits.get() + std::int64_t{row} * m_rowBytes;
    }
    // Chooses the row pixelValue reads, clamped to 0..height - 1.
    void setCurrentRow(int row);
    int currentRow() const { return m_currentRow; }
    // The value at a column of the current row: a colour-table index for 1,
    // 4 and 8 bits, 0x00BBGGRR for 16 (read as 5-6-5), 24 and 32 bits, and 0
    // for other bit counts. The column is not checked.
    std::uint32_t pixelValue(int column) const;

    // The colour of a pixel (storage row order) as opaque QRgb, whatever the
    // format; indexed formats go through the colour table.
    QRgb pixelRgb(int column, int row) const;
    // The picture with its top row first.
    QImage toImage() const;

    // A colour table for drawing, when the image has more than two entries;
    // empty otherwise. Every call makes a new list.
    QList<QRgb> getPalette() const;
    // Copies the source's pixels 1:1 onto this image, top-left aligned,
    // converting to this image's format.
    void drawFrom(const TcsBitmap& source);
    // Resamples into destination, which has its size already: the 24-bit
    // resampler for 24-bit images, else the filter resampler with Lanczos3.
    void resample(TcsBitmap& destination) const;

    TCompressionLevel compression() const { return m_compression; }
    void setCompression(TCompressionLevel level) { m_compression = level; }
    // The information record of the last stream load or save.
    const TCompressorHeader& streamInfo() const { return m_streamInfo; }

    // Reads a "BM" (plain) or "SP" (compressed) bitmap stream. Anything that
    // cannot be read, damaged or of another type, leaves an empty bitmap and
    // raises nothing. Signals a change.
    void loadFromStream(TStream& stream);
    void loadImageStream(TStream& stream) { loadFromStream(stream); }
    // Writes "BM", or "SP" when compression() is not cmNone. An empty bitmap
    // writes nothing.
    void saveToStream(TStream& stream);
    // Throws lystra::Exception when the file cannot be opened.
    void loadFromFile(const QString& fileName);
    void saveToFile(const QString& fileName);
    // Reads a packed DIB (header, masks, colour table, pixels) and sets both
    // resolutions to Round(dpi / 25.39) * 1000 pixels per metre.
    void loadFromPackedDib(const QByteArray& dib, int dpi);

    void setOnChange(ChangeEvent handler) { m_onChange = std::move(handler); }
    void signalChange();

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const;
    };

    void readStream(TStream& stream);
    void readDib(TStream& stream, std::int64_t size);
    void readDibUnguarded(TStream& stream, std::int64_t size);
    void writeDib(TStream& stream, int tableEntries) const;
    void allocate(const TBitmapInfoHeader& header, std::int64_t bytes);
    void takeSnapshot();
    void setRgb(int column, int row, QRgb color);

    std::unique_ptr<TBitmapInfo> m_info;
    std::unique_ptr<std::uint8_t, FreeDeleter> m_bits;
    TDibSection m_section;
    int m_rowBytes = 0;
    TCompressionLevel m_compression = cmNone;
    TCompressorHeader m_streamInfo;
    int m_currentRow = 0;
    ChangeEvent m_onChange;
};

} // namespace lystra
