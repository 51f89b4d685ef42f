#pragma once

#include "platform/exception.h"

#include <cstdint>

namespace lystra {

// zlib reported an error (a negative return code).
class EZLibError : public Exception {
public:
    using Exception::Exception;
};

// The four levels of the zlib block unit and the zlib level each maps to.
enum class TZLibLevel { None = 0, Fastest = 1, Default = 2, Max = 3 };
int zlibLevelValue(TZLibLevel level);

// One block in the zlib format (header, deflate data, Adler-32).
//
// zlibCompress deflates n input bytes in one call into output (capacity
// bytes) with the given zlib level, window bits 15, memory level 8 and the
// default strategy. Returns the compressed length, or 0 when the result did
// not fit. zlibDecompress inflates a whole zlib stream in one call; returns
// the decompressed length, or 0 when the stream did not end within the
// input. Both throw EZLibError ("error") on a zlib error, which includes
// damaged input and output that does not fit.
int zlibCompress(const std::uint8_t* input, int n, std::uint8_t* output, int capacity, int level);
int zlibDecompress(const std::uint8_t* input, int n, std::uint8_t* output, int capacity);

} // namespace lystra
