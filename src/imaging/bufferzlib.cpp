#include "imaging/bufferzlib.h"

#include <zlib.h>

namespace lystra {

namespace {

[[noreturn]] void fail()
{
    throw EZLibError(QStringLiteral("error"));
}

int check(int code)
{
    if (code < 0)
        fail();
    return code;
}

} // namespace

int zlibLevelValue(TZLibLevel level)
{
    switch (level) {
    case TZLibLevel::None: return 0;
    case TZLibLevel::Fastest: return 1;
    case TZLibLevel::Default: return -1;
    case TZLibLevel::Max: return 9;
    }
    return -1;
}

int zlibCompress(const std::uint8_t* input, int n, std::uint8_t* output, int capacity, int level)
{
    z_stream z{};
    check(deflateInit2(&z, level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY));
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = output;
    z.avail_out = static_cast<uInt>(capacity);
    const int code = deflate(&z, Z_FINISH);
    const int length = static_cast<int>(z.total_out);
    deflateEnd(&z);
    check(code);
    return code == Z_STREAM_END ? length : 0;
}

int zlibDecompress(const std::uint8_t* input, int n, std::uint8_t* output, int capacity)
{
    z_stream z{};
    check(inflateInit(&z));
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = output;
    z.avail_out = static_cast<uInt>(capacity);
    const int code = inflate(&z, Z_FINISH);
    const int length = static_cast<int>(z.total_out);
    inflateEnd(&z);
    check(code);
    return code == Z_STREAM_END ? length : 0;
}

} // namespace lystra
