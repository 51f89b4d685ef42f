#include "imaging/lzrw1kh.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace lystra {

namespace {

constexpr int kHashSize = 4096;
constexpr int kMaxOffset = 4095;
constexpr int kMaxRun = 4095;
constexpr int kMinRun = 16;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 18;
constexpr std::uint8_t kCompressedFlag = 0x40;
constexpr std::uint8_t kStoredFlag = 0x80;

// One table per thread, so that blocks may be compressed on several threads;
// allocated on first use and kept for the life of the thread.
std::int16_t* hashTable()
{
    thread_local std::unique_ptr<std::int16_t[]> table;
    if (!table) {
        table.reset(new (std::nothrow) std::int16_t[kHashSize]);
        if (!table)
            throw ELZRWCompressor(QStringLiteral("LZRW1/KH : No memory for HASH table"));
    }
    return table.get();
}

inline unsigned hashOf(const std::uint8_t* p)
{
    const std::uint32_t mixed = ((((std::uint32_t{p[0]} << 4) ^ p[1]) << 4) ^ p[2]);
    return ((mixed * 40543u) >> 4) & 0x0FFF;
}

// Length of the match for position p (0 when there is none below 3) and the
// earlier position it starts at; updates the table entry for p's hash.
inline int findMatch(const std::uint8_t* in, int p, int n, std::int16_t* table, int& earlier)
{
    // A match needs three bytes; positions nearer the end than that can
    // never match, and neither can any later lookup of an entry they set.
    if (p + kMinMatch > n)
        return 0;
    const unsigned hash = hashOf(in + p);
    const int m = table[hash];
    table[hash] = static_cast<std::int16_t>(p);
    if (m < 0 || p - m > kMaxOffset)
        return 0;
    int length = 0;
    while (length < kMaxMatch && p + length < n && in[p + length] == in[m + length])
        ++length;
    earlier = m;
    return length >= kMinMatch ? length : 0;
}

inline int runLength(const std::uint8_t* in, int p, int n)
{
    const std::uint8_t value = in[p];
    int r = 1;
    while (r < kMaxRun && p + r < n && in[p + r] == value)
        ++r;
    return r;
}

inline void storeWord(std::uint8_t* out, int at, unsigned word)
{
    out[at] = static_cast<std::uint8_t>(word >> 8);
    out[at + 1] = static_cast<std::uint8_t>(word);
}

} // namespace

int lzrwCompress(const std::uint8_t* in, int n, std::uint8_t* out)
{
    std::int16_t* table = hashTable();
    std::fill_n(table, kHashSize, std::int16_t{-1});
    out[0] = kCompressedFlag;
    int controlAt = 1;
    int o = 3;
    int p = 0;
    unsigned control = 0;
    int bits = 0;
    while (p < n && o <= n) {
        if (bits == 16) {
            storeWord(out, controlAt, control);
            controlAt = o;
            o += 2;
            bits = 0;
        }
        unsigned bit = 1;
        const int run = runLength(in, p, n);
        int earlier = 0;
        if (run >= kMinRun) {
            out[o] = 0;
            out[o + 1] = static_cast<std::uint8_t>((run - kMinRun) >> 8);
            out[o + 2] = static_cast<std::uint8_t>(run - kMinRun);
            out[o + 3] = in[p];
            o += 4;
            p += run;
        } else if (const int length = findMatch(in, p, n, table, earlier); length > 0) {
            storeWord(out, o, static_cast<unsigned>((p - earlier) * 16 + (length - kMinMatch)));
            o += 2;
            p += length;
        } else {
            out[o++] = in[p++];
            bit = 0;
        }
        control = (control << 1) | bit;
        ++bits;
    }
    storeWord(out, controlAt, (control << (16 - bits)) & 0xFFFF);
    if (o > n) {
        out[0] = kStoredFlag;
        if (n > 0)
            std::memcpy(out + 1, in, static_cast<size_t>(n));
        return n + 1;
    }
    return o;
}

int lzrwDecompress(const std::uint8_t* in, int n, std::uint8_t* out, int capacity)
{
    if (n <= 1)
        return 0;
    if (in[0] == kStoredFlag) {
        if (n - 1 > capacity)
            return -1;
        std::memcpy(out, in + 1, static_cast<size_t>(n - 1));
        return n - 1;
    }
    if (n < 3)
        return -1;
    unsigned control = (unsigned{in[1]} << 8) | in[2];
    int bitsLeft = 16;
    int i = 3;
    int o = 0;
    while (i < n) {
        if (bitsLeft == 0) {
            if (i + 2 > n)
                return -1;
            control = (unsigned{in[i]} << 8) | in[i + 1];
            i += 2;
            bitsLeft = 16;
        }
        if ((control & 0x8000) == 0) {
            // A control word may be the last thing in the block only when
            // its items were cut off.
            if (i >= n || o >= capacity)
                return -1;
            out[o++] = in[i++];
        } else {
            if (i + 2 > n)
                return -1;
            const int offset = in[i] * 16 + (in[i + 1] >> 4);
            if (offset != 0) {
                const int length = (in[i + 1] & 15) + kMinMatch;
                i += 2;
                if (offset > o || length > capacity - o)
                    return -1;
                const std::uint8_t* from = out + o - offset;
                if (offset >= kMaxMatch && capacity - o >= kMaxMatch) {
                    // Source and target cannot overlap: one fixed-size copy
                    // of the longest item. What it writes past this item is
                    // either written again by later items or lies past the
                    // block's output.
                    std::memcpy(out + o, from, kMaxMatch);
                } else {
                    // Byte by byte: an overlapping copy repeats what it just
                    // wrote.
                    for (int k = 0; k < length; ++k)
                        out[o + k] = from[k];
                }
                o += length;
            } else {
                if (i + 4 > n)
                    return -1;
                const int count = in[i + 1] * 256 + in[i + 2] + kMinRun;
                if (count > capacity - o)
                    return -1;
                std::memset(out + o, in[i + 3], static_cast<size_t>(count));
                o += count;
                i += 4;
            }
        }
        control = (control << 1) & 0xFFFF;
        --bitsLeft;
    }
    return o;
}

} // namespace lystra
