#pragma once

#include "platform/exception.h"

#include <cstdint>

namespace lystra {

// The LZRW1/KH hash table could not be allocated.
class ELZRWCompressor : public Exception {
public:
    using Exception::Exception;
};

// LZRW1/KH: a fast LZ77 variant with run items, one block of at most
// kLzrwMaxBlock bytes at a time.
//
// Block layout: byte 0 is 0x40 (compressed) or 0x80 (stored: the data
// follows unchanged). Compressed data is a sequence of groups, a 16-bit
// control word (high byte first) and up to 16 items, one per bit from the
// top: 0 a literal byte; 1 a copy item of 2 bytes (offset 1..4095 back,
// length 3..18) or, with offset 0, a run item of 4 bytes (count 16..4111 of
// one byte value).
inline constexpr int kLzrwMaxBlock = 32768;
// Size of the block buffers of the compressed stream; any output buffer given
// to lzrwCompress must have at least this many bytes.
inline constexpr int kLzrwBufferSize = 0x8100;

// Compresses n bytes (0 <= n <= kLzrwMaxBlock) of input into output, which
// must hold kLzrwBufferSize bytes. Returns the block length, at most n + 1
// (the stored form when compression does not pay). Never reads input beyond
// n bytes. Throws ELZRWCompressor when its hash table cannot be allocated.
int lzrwCompress(const std::uint8_t* input, int n, std::uint8_t* output);

// Decompresses a block of n bytes into output, which has room for capacity
// bytes. Returns the decompressed length, or -1 when the block is damaged: an
// item cut off by the block end, a copy reaching before the start of the
// output, or output that would pass capacity. Never reads or writes outside
// the two buffers; bytes of output past the returned length may be changed.
int lzrwDecompress(const std::uint8_t* input, int n, std::uint8_t* output, int capacity);

} // namespace lystra
