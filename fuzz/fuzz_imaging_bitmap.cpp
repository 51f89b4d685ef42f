// The bitmap stream reader ("BM" and the compressed "SP" form) fed with
// arbitrary bytes: it must never throw and never touch memory outside its
// buffers. A picture that did load is consistent with its header, walks
// through every pixel accessor, is written and read back to the same pixels
// and resampled into a small 24-bit image.
#include "imaging/tcsbitmap.h"
#include "imaging/tstream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace lystra;

namespace {

// Larger pictures are only loaded: walking and resampling them would slow
// the runs down without reaching new code.
constexpr std::int64_t kWalkLimit = 16 * 1024;

void walk(TcsBitmap& bitmap)
{
    const TBitmapInfo* info = bitmap.bitmapInfo();
    if (!info || bitmap.bits() == nullptr || bitmap.width() <= 0 || bitmap.height() <= 0)
        std::abort();
    if (bitmap.imageBytes() != dibRowBytes(bitmap.width(), info->header.bitCount) * bitmap.height())
        std::abort();
    if (bitmap.imageBytes() > kWalkLimit)
        return;
    std::uint32_t sum = 0;
    for (int row = 0; row < bitmap.height(); ++row) {
        bitmap.setCurrentRow(row);
        for (int column = 0; column < bitmap.width(); ++column)
            sum += bitmap.pixelValue(column) + bitmap.pixelRgb(column, row);
    }
    (void)bitmap.getPalette();

    // Written out and read back, plain and compressed, the pixels stay.
    for (const TCompressionLevel level : {cmNone, cmLZRW1KH}) {
        bitmap.setCompression(level);
        TMemoryStream saved;
        bitmap.saveToStream(saved);
        saved.setPosition(0);
        TcsBitmap again;
        again.loadFromStream(saved);
        if (again.isEmpty() || again.imageBytes() != bitmap.imageBytes()
            || std::memcmp(again.bits(), bitmap.bits(), size_t(bitmap.imageBytes())) != 0)
            std::abort();
    }

    TcsBitmap smaller(7, 5, pf24bit);
    bitmap.resample(smaller);
    TcsBitmap larger(bitmap.width() + 3, bitmap.height() + 2, pf24bit);
    if (bitmap.width() < 64 && bitmap.height() < 64)
        bitmap.resample(larger);
    (void)sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TcsBitmap bitmap;
    try {
        bitmap.loadFromStream(stream);
    } catch (...) {
        std::abort(); // the reader ends every failure in an empty bitmap
    }
    if (!bitmap.isEmpty())
        walk(bitmap);

    // The same bytes as a packed DIB, the clipboard form.
    TcsBitmap packed;
    packed.loadFromPackedDib(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), 300);
    if (!packed.isEmpty())
        walk(packed);
    return 0;
}
