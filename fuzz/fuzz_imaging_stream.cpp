// The compressed stream reader and the LZRW1/KH block codec, fed with
// arbitrary bytes.
//
// 1. The input read through a switched-on compressor stream, in pieces of
//    varying size: a damaged stream must end in one of the stream's
//    exceptions, and no read may deliver more than was asked or declared.
// 2. The input decoded as one LZRW1/KH block into a buffer of the block
//    size: the result is -1 or a length inside the buffer.
// 3. The input (up to one block) compressed and decompressed again: the
//    block never grows past the stored form and gives back the same bytes.
#include "imaging/bufferzlib.h"
#include "imaging/lzrw1kh.h"
#include "imaging/tcompressorstream.h"
#include "imaging/tstream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace lystra;

namespace {

void readCompressed(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream target(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TCompressorStream stream(target);
    stream.setActive(true);
    try {
        const std::int64_t total = stream.size();
        if (!stream.compressed())
            return;
        if (total != std::int64_t{stream.header().originalSize})
            std::abort();
        // The piece sizes come from the input, so that block boundaries fall
        // inside and between reads.
        std::vector<std::uint8_t> piece(70000);
        std::int64_t delivered = 0;
        std::size_t k = 0;
        while (stream.reading()) {
            const std::int64_t want = 1 + (size > 0 ? data[k++ % size] : 0) * 271;
            const std::int64_t got = stream.read(piece.data(), want);
            if (got < 0 || got > want)
                std::abort();
            delivered += got;
            if (got == 0)
                break;
        }
        if (delivered > total)
            std::abort();
        // A completed phase delivered exactly the declared size.
        if (!stream.reading() && delivered != total)
            std::abort();
    } catch (const ECompressorException&) {
    } catch (const EZLibError&) {
    }
}

void decodeBlock(const std::uint8_t* data, std::size_t size)
{
    const int n = int(std::min<std::size_t>(size, kLzrwBufferSize));
    std::vector<std::uint8_t> out(kLzrwMaxBlock);
    const int length = lzrwDecompress(data, n, out.data(), kLzrwMaxBlock);
    if (length < -1 || length > kLzrwMaxBlock)
        std::abort();
}

void roundTrip(const std::uint8_t* data, std::size_t size)
{
    const int n = int(std::min<std::size_t>(size, kLzrwMaxBlock));
    std::vector<std::uint8_t> packed(kLzrwBufferSize);
    const int length = lzrwCompress(data, n, packed.data());
    if (length < 1 || length > n + 1)
        std::abort();
    std::vector<std::uint8_t> unpacked(kLzrwMaxBlock);
    if (lzrwDecompress(packed.data(), length, unpacked.data(), kLzrwMaxBlock) != n)
        std::abort();
    if (n > 0 && std::memcmp(unpacked.data(), data, size_t(n)) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    readCompressed(data, size);
    decodeBlock(data, size);
    roundTrip(data, size);
    return 0;
}
