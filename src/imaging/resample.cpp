#include "imaging/resample.h"

#include "imaging/tcsbitmap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lystra {

namespace {

constexpr int kFracBits = 17;
constexpr double kFracOne = 131072.0;

// Exact unsigned division by multiplication: for every n <= maxDividend,
// (n * multiplier) >> shift == n / divisor (Granlund and Montgomery: with
// N = bits of maxDividend, l = ceil(log2 d), shift = N + l and multiplier =
// ceil(2^shift / d), the error d * multiplier - 2^shift < 2^l = 2^(shift-N)).
struct Divider {
    std::uint64_t multiplier = 1;
    int shift = 0;
    bool fits32 = true; // every product stays below 2^32

    static Divider make(std::uint32_t divisor, std::uint32_t maxDividend)
    {
        const int n = std::max(1, int(std::bit_width(maxDividend)));
        const int l = int(std::bit_width(divisor - 1));
        const int shift = n + l;
        const std::uint64_t multiplier = ((std::uint64_t{1} << shift) + divisor - 1) / divisor;
        return {multiplier, shift, multiplier * maxDividend < (std::uint64_t{1} << 32)};
    }
    std::uint32_t operator()(std::uint32_t n) const
    {
        return std::uint32_t((n * multiplier) >> shift);
    }
};

// The averaging span or interpolation position of every destination column.
struct ColumnTable {
    std::vector<int> first, last, frac;
    std::vector<Divider> divider;
};

ColumnTable columnTable(int sw, int dw, double xs)
{
    ColumnTable t;
    t.first.resize(size_t(dw));
    t.last.resize(size_t(dw));
    t.frac.resize(size_t(dw));
    t.divider.resize(size_t(dw));
    for (int i = 0; i < dw; ++i) {
        const double x = i / xs;
        const int first = int(x);
        t.first[size_t(i)] = first;
        t.frac[size_t(i)] = int((x - first) * kFracOne);
        const int last = std::min(int(std::min(i + 1, dw - 1) / xs + 1e-10), sw - 1);
        t.last[size_t(i)] = std::max(last, first);
        const auto count = std::uint32_t(t.last[size_t(i)] - first + 1);
        t.divider[size_t(i)] = Divider::make(count, 255 * count);
    }
    return t;
}

// floor(a + (b - a) * frac / 2^17) for one channel.
inline std::uint8_t lerp(int a, int b, int frac)
{
    return std::uint8_t(a + (((b - a) * frac) >> kFracBits));
}

void shrinkPixel(const std::uint8_t* s, std::uint8_t* w, int first, int last, const Divider& d)
{
    std::uint32_t b = 0, g = 0, r = 0;
    for (const std::uint8_t* p = s + 3 * first; p <= s + 3 * last; p += 3) {
        b += p[0];
        g += p[1];
        r += p[2];
    }
    w[0] = std::uint8_t(d(b));
    w[1] = std::uint8_t(d(g));
    w[2] = std::uint8_t(d(r));
}

void shrinkRowPlain(const std::uint8_t* s, std::uint8_t* w, int dw, const ColumnTable& t)
{
    for (int i = 0; i < dw; ++i)
        shrinkPixel(s, w + 3 * i, t.first[size_t(i)], t.last[size_t(i)], t.divider[size_t(i)]);
}

#if defined(__x86_64__)
// Spans of up to five pixels (shrinking by up to about four) fit one 16-byte
// load. Two destination pixels are done at once: byte shuffles sort the blue
// bytes of the first span into the low half of a register and those of the
// second span into the high half (green and red likewise), zeroing what is
// not part of a span; the sum of absolute differences against zero then adds
// each half. The division is exact: for a count c <= 5 the sum is below
// 2^11, and with the shift 14 and the multiplier ceil(2^14 / c) the error
// c * multiplier - 2^14 < c stays within 2^(14 - 11) (see Divider).
constexpr int kVectorSpan = 5;
constexpr int kVectorShift = 14;
// ceil(2^14 / count) for the counts 1..5, taken from a table: a division
// per pixel pair would cost more than the rest of the work.
constexpr std::int64_t kVectorMultiplier[kVectorSpan + 1] = {
    0, 16384, 8192, 5462, 4096, 3277,
};
static_assert(kVectorMultiplier[3] == ((1 << kVectorShift) + 2) / 3
              && kVectorMultiplier[5] == ((1 << kVectorShift) + 4) / 5);

struct SpanMasks {
    // [channel][half][count]
    __m128i mask[3][2][kVectorSpan + 1];
};

const SpanMasks& spanMasks()
{
    static const SpanMasks masks = [] {
        SpanMasks m;
        for (int channel = 0; channel < 3; ++channel)
            for (int half = 0; half < 2; ++half)
                for (int count = 0; count <= kVectorSpan; ++count) {
                    alignas(16) std::int8_t bytes[16];
                    for (int k = 0; k < 16; ++k) {
                        const int pixel = k - 8 * half;
                        bytes[k] = std::int8_t(pixel >= 0 && pixel < 8 && pixel < count
                                                   ? 3 * pixel + channel
                                                   : -128);
                    }
                    m.mask[channel][half][count] =
                        _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
                }
        return m;
    }();
    return masks;
}

inline bool vectorSpan(int first, int count, int sw)
{
    return count <= kVectorSpan && 3 * first + 16 <= 3 * sw;
}

__attribute__((target("ssse3"))) void shrinkRowVector(const std::uint8_t* s, std::uint8_t* w,
                                                      int sw, int dw, const ColumnTable& t)
{
    const SpanMasks& masks = spanMasks();
    const __m128i zero = _mm_setzero_si128();
    // Bytes 0..2 and 8..10 (blue, green, red of the two pixels) to 0..5.
    const __m128i gather = _mm_setr_epi8(0, 1, 2, 8, 9, 10, -128, -128, -128, -128, -128, -128,
                                         -128, -128, -128, -128);
    int i = 0;
    for (; i + 1 < dw; i += 2) {
        const int f0 = t.first[size_t(i)], f1 = t.first[size_t(i + 1)];
        const int c0 = t.last[size_t(i)] - f0 + 1, c1 = t.last[size_t(i + 1)] - f1 + 1;
        if (!vectorSpan(f0, c0, sw) || !vectorSpan(f1, c1, sw)) {
            shrinkPixel(s, w + 3 * i, f0, t.last[size_t(i)], t.divider[size_t(i)]);
            shrinkPixel(s, w + 3 * i + 3, f1, t.last[size_t(i + 1)], t.divider[size_t(i + 1)]);
            continue;
        }
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * f0));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * f1));
        const __m128i multiplier = _mm_set_epi64x(kVectorMultiplier[c1], kVectorMultiplier[c0]);
        __m128i sums[3];
        for (int channel = 0; channel < 3; ++channel) {
            const __m128i bytes =
                _mm_or_si128(_mm_shuffle_epi8(a, masks.mask[channel][0][c0]),
                             _mm_shuffle_epi8(b, masks.mask[channel][1][c1]));
            sums[channel] = _mm_srli_epi64(
                _mm_mul_epu32(_mm_sad_epu8(bytes, zero), multiplier), kVectorShift);
        }
        const __m128i bgr = _mm_or_si128(
            sums[0], _mm_or_si128(_mm_slli_epi64(sums[1], 8), _mm_slli_epi64(sums[2], 16)));
        alignas(16) std::uint8_t out[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bgr, gather));
        std::memcpy(w + 3 * i, out, 6);
    }
    for (; i < dw; ++i)
        shrinkPixel(s, w + 3 * i, t.first[size_t(i)], t.last[size_t(i)], t.divider[size_t(i)]);
}

// The same with AVX2, four destination pixels at a time: the first two
// spans go to the low 128-bit lane and the next two to the high lane, each
// lane sorted exactly as above, so the sums and the division are the same.
struct WideSpanMasks {
    // [channel][half][count in the low lane][count in the high lane]
    __m256i mask[3][2][kVectorSpan + 1][kVectorSpan + 1];
};

const WideSpanMasks& wideSpanMasks()
{
    static const WideSpanMasks masks = [] {
        const SpanMasks& narrow = spanMasks();
        WideSpanMasks m;
        for (int channel = 0; channel < 3; ++channel)
            for (int half = 0; half < 2; ++half)
                for (int low = 0; low <= kVectorSpan; ++low)
                    for (int high = 0; high <= kVectorSpan; ++high)
                    {
                        // Plain copies: the lanes are two 16-byte halves.
                        auto* lanes = reinterpret_cast<std::uint8_t*>(
                            &m.mask[channel][half][low][high]);
                        std::memcpy(lanes, &narrow.mask[channel][half][low], 16);
                        std::memcpy(lanes + 16, &narrow.mask[channel][half][high], 16);
                    }
        return m;
    }();
    return masks;
}

__attribute__((target("avx2"))) void shrinkRowWide(const std::uint8_t* s, std::uint8_t* w, int sw,
                                                   int dw, const ColumnTable& t)
{
    const WideSpanMasks& masks = wideSpanMasks();
    const __m256i zero = _mm256_setzero_si256();
    // Bytes 0..2 and 8..10 (the two pixels) of the low lane to 0..5, of the
    // high lane to 6..11, so that or-ing the lanes gives the 12 bytes.
    const __m256i gather = _mm256_setr_epi8(
        0, 1, 2, 8, 9, 10, -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, //
        -128, -128, -128, -128, -128, -128, 0, 1, 2, 8, 9, 10, -128, -128, -128, -128);
    auto load = [s](int first) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * first));
    };
    int i = 0;
    for (; i + 3 < dw; i += 4) {
        const int* first = &t.first[size_t(i)];
        const int* last = &t.last[size_t(i)];
        const int c0 = last[0] - first[0] + 1, c1 = last[1] - first[1] + 1;
        const int c2 = last[2] - first[2] + 1, c3 = last[3] - first[3] + 1;
        if (!vectorSpan(first[0], c0, sw) || !vectorSpan(first[1], c1, sw)
            || !vectorSpan(first[2], c2, sw) || !vectorSpan(first[3], c3, sw)) {
            for (int k = 0; k < 4; ++k)
                shrinkPixel(s, w + 3 * (i + k), first[k], last[k], t.divider[size_t(i + k)]);
            continue;
        }
        const __m256i even = _mm256_set_m128i(load(first[2]), load(first[0]));
        const __m256i odd = _mm256_set_m128i(load(first[3]), load(first[1]));
        const __m256i multiplier =
            _mm256_set_epi64x(kVectorMultiplier[c3], kVectorMultiplier[c2],
                              kVectorMultiplier[c1], kVectorMultiplier[c0]);
        __m256i sums[3];
        for (int channel = 0; channel < 3; ++channel) {
            const __m256i bytes =
                _mm256_or_si256(_mm256_shuffle_epi8(even, masks.mask[channel][0][c0][c2]),
                                _mm256_shuffle_epi8(odd, masks.mask[channel][1][c1][c3]));
            sums[channel] = _mm256_srli_epi64(
                _mm256_mul_epu32(_mm256_sad_epu8(bytes, zero), multiplier), kVectorShift);
        }
        const __m256i bgr = _mm256_or_si256(
            sums[0],
            _mm256_or_si256(_mm256_slli_epi64(sums[1], 8), _mm256_slli_epi64(sums[2], 16)));
        const __m256i sorted = _mm256_shuffle_epi8(bgr, gather);
        const __m128i twelve = _mm_or_si128(_mm256_castsi256_si128(sorted),
                                            _mm256_extracti128_si256(sorted, 1));
        // Sixteen bytes at once while the row has room for them; the four
        // beyond the twelve are written again by the next pixels.
        if (i + 6 <= dw) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 3 * i), twelve);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(w + 3 * i), twelve);
            const std::uint32_t tail = std::uint32_t(_mm_extract_epi32(twelve, 2));
            std::memcpy(w + 3 * i + 8, &tail, 4);
        }
    }
    for (; i < dw; ++i)
        shrinkPixel(s, w + 3 * i, t.first[size_t(i)], t.last[size_t(i)], t.divider[size_t(i)]);
}

// The mean of 2 to 11 work rows: 16-bit sums, and the division as the high
// half of a 16-bit product. For such counts the sums stay below 2^12 and
// ceil(2^16 / c) is exact over them (error below c <= 2^(16 - 12)).
constexpr int kMaxShortAverage = 11;

void averageRowsShort(const std::uint8_t* work, std::int64_t stride, int first, int last,
                      std::uint8_t* out, int bytes)
{
    const int count = last - first + 1;
    const __m128i multiplier = _mm_set1_epi16(
        std::int16_t((65536 + count - 1) / count));
    const __m128i zero = _mm_setzero_si128();
    int k = 0;
    for (; k + 16 <= bytes; k += 16) {
        __m128i low = zero, high = zero;
        for (int row = first; row <= last; ++row) {
            const __m128i v =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(work + row * stride + k));
            low = _mm_add_epi16(low, _mm_unpacklo_epi8(v, zero));
            high = _mm_add_epi16(high, _mm_unpackhi_epi8(v, zero));
        }
        low = _mm_mulhi_epu16(low, multiplier);
        high = _mm_mulhi_epu16(high, multiplier);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(low, high));
    }
    const std::uint32_t m = std::uint32_t((65536 + count - 1) / count);
    for (; k < bytes; ++k) {
        std::uint32_t sum = 0;
        for (int row = first; row <= last; ++row)
            sum += work[row * stride + k];
        out[k] = std::uint8_t((sum * m) >> 16);
    }
}

bool hasSsse3()
{
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}

bool hasAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

void shrinkRow(const std::uint8_t* s, std::uint8_t* w, int sw, int dw, const ColumnTable& t)
{
#if defined(__x86_64__)
    if (hasAvx2()) {
        shrinkRowWide(s, w, sw, dw, t);
        return;
    }
    if (hasSsse3()) {
        shrinkRowVector(s, w, sw, dw, t);
        return;
    }
#endif
    (void)sw;
    shrinkRowPlain(s, w, dw, t);
}

void growRow(const std::uint8_t* s, std::uint8_t* w, int sw, int dw, const ColumnTable& t)
{
    for (int i = 0; i < dw; ++i) {
        const int a = t.first[size_t(i)];
        const int b = std::min(a + 1, sw - 1);
        const int frac = t.frac[size_t(i)];
        for (int c = 0; c < 3; ++c)
            w[3 * i + c] = lerp(s[3 * a + c], s[3 * b + c], frac);
    }
}

// Per-channel mean of work rows first..last into one destination row.
template <typename Word>
void averageRows(const std::uint8_t* work, std::int64_t stride, int first, int last,
                 std::uint8_t* out, int bytes, std::uint32_t* acc, const Divider& d)
{
    std::fill_n(acc, bytes, 0u);
    for (int row = first; row <= last; ++row) {
        const std::uint8_t* p = work + row * stride;
        for (int k = 0; k < bytes; ++k)
            acc[k] += p[k];
    }
    const Word m = Word(d.multiplier);
    const int shift = d.shift;
    for (int k = 0; k < bytes; ++k)
        out[k] = std::uint8_t((Word(acc[k]) * m) >> shift);
}

// Runs body(from, to) over [0, count) split into equal parts, one per thread.
template <typename Body>
void splitRows(int count, int threads, const Body& body)
{
    threads = std::clamp(threads, 1, std::max(1, count / 16));
    if (threads == 1) {
        body(0, count);
        return;
    }
    std::vector<std::thread> pool;
    const int step = (count + threads - 1) / threads;
    for (int t = 1; t < threads; ++t) {
        const int from = std::min(count, t * step);
        const int to = std::min(count, from + step);
        pool.emplace_back([&body, from, to] { body(from, to); });
    }
    body(0, std::min(count, step));
    for (auto& thread : pool)
        thread.join();
}

int threadCount(int requested)
{
    if (requested > 0)
        return requested;
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

namespace {

// The work rows (horizontal pass results) one destination row is made of.
struct RowSpan {
    int first = 0; // shrinking: first..last averaged; growing: rows first and last
    int last = 0;
    int frac = 0;
};

RowSpan rowSpan(int i, int sh, int dh, double ys)
{
    if (ys > 1) {
        const double y = i / ys;
        const int r = int(y);
        return {r, std::min(r + 1, sh - 1), int((y - r) * kFracOne)};
    }
    const int first = int(i / ys);
    return {first, std::max(first, std::min(int(std::min(i + 1, dh - 1) / ys), sh - 1)), 0};
}

void verticalRow(const std::uint8_t* band, std::int64_t stride, const RowSpan& span, bool grow,
                 std::uint8_t* out, int bytes, std::uint32_t* acc)
{
    const int first = span.first, last = span.last;
    if (grow) {
        const std::uint8_t* a = band + first * stride;
        const std::uint8_t* b = band + last * stride;
        for (int k = 0; k < bytes; ++k)
            out[k] = lerp(a[k], b[k], span.frac);
        return;
    }
    const auto count = std::uint32_t(last - first + 1);
    if (count == 1) {
        std::memcpy(out, band + first * stride, size_t(bytes));
        return;
    }
#if defined(__x86_64__)
    if (count <= kMaxShortAverage) {
        averageRowsShort(band, stride, first, last, out, bytes);
        return;
    }
#endif
    const Divider d = Divider::make(count, 255 * count);
    if (d.fits32)
        averageRows<std::uint32_t>(band, stride, first, last, out, bytes, acc, d);
    else
        averageRows<std::uint64_t>(band, stride, first, last, out, bytes, acc, d);
}

// About this many bytes of work rows are kept at a time, so that the rows
// the vertical pass reads are still in the cache.
constexpr std::int64_t kBandBytes = 384 * 1024;

} // namespace

void resample24(const TcsBitmap& source, TcsBitmap& destination, int threads)
{
    const int sw = source.width(), sh = source.height();
    const int dw = destination.width(), dh = destination.height();
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0)
        return;
    const double xs = double(dw) / sw;
    const double ys = double(dh) / sh;
    if (xs == 1 && ys == 1) {
        destination.assignGraphic(&source);
        return;
    }
    const ColumnTable columns = columnTable(sw, dw, xs);
    const std::int64_t stride = std::int64_t{dw} * 3;
    const int bytes = int(stride);
    const bool grow = ys > 1;

    // Destination rows go in bands: the work rows a band needs are made by
    // the horizontal pass into a small buffer and averaged or interpolated
    // at once. A work row depends only on its source row, so a row shared by
    // two bands is made twice with the same result.
    const int rowsPerBand =
        int(std::clamp<std::int64_t>(kBandBytes / stride * dh / sh, 1, dh));
    splitRows(dh, threadCount(threads), [&](int from, int to) {
        std::vector<std::uint8_t> band;
        std::vector<std::uint32_t> acc(static_cast<size_t>(bytes));
        for (int i0 = from; i0 < to; i0 += rowsPerBand) {
            const int i1 = std::min(to, i0 + rowsPerBand);
            const int top = rowSpan(i0, sh, dh, ys).first;
            const int bottom = rowSpan(i1 - 1, sh, dh, ys).last;
            band.resize(size_t((bottom - top + 1) * stride));
            for (int r = top; r <= bottom; ++r) {
                std::uint8_t* w = band.data() + (r - top) * stride;
                if (xs > 1)
                    growRow(source.scanLine(r), w, sw, dw, columns);
                else
                    shrinkRow(source.scanLine(r), w, sw, dw, columns);
            }
            for (int i = i0; i < i1; ++i) {
                RowSpan span = rowSpan(i, sh, dh, ys);
                span.first -= top;
                span.last -= top;
                verticalRow(band.data(), stride, span, grow, destination.scanLine(i), bytes,
                            acc.data());
            }
        }
    });
}

// ---------------------------------------------------------------------------
// Filter resampler

namespace {

constexpr float kPi = 3.14159265358979323846f;

float boxFilter(float x)
{
    return x > -0.5f && x <= 0.5f ? 1.0f : 0.0f;
}

float triangleFilter(float x)
{
    const float t = std::fabs(x);
    return t < 1.0f ? 1.0f - t : 0.0f;
}

float hermiteFilter(float x)
{
    const float t = std::fabs(x);
    return t < 1.0f ? (2.0f * t - 3.0f) * t * t + 1.0f : 0.0f;
}

float bellFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 0.5f)
        return 0.75f - t * t;
    if (t < 1.5f)
        return 0.5f * (t - 1.5f) * (t - 1.5f);
    return 0.0f;
}

float bSplineFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 1.0f)
        return 0.5f * t * t * t - t * t + 2.0f / 3.0f;
    if (t < 2.0f)
        return (2.0f - t) * (2.0f - t) * (2.0f - t) / 6.0f;
    return 0.0f;
}

float sinc(float x)
{
    if (x == 0.0f)
        return 1.0f;
    const float px = kPi * x;
    return std::sin(px) / px;
}

float lanczos3Filter(float x)
{
    const float t = std::fabs(x);
    return t < 3.0f ? sinc(t) * sinc(t / 3.0f) : 0.0f;
}

float mitchellFilter(float x)
{
    const float t = std::fabs(x);
    if (t < 1.0f)
        return (7.0f * t * t * t - 12.0f * t * t + 16.0f / 3.0f) / 6.0f;
    if (t < 2.0f)
        return (-7.0f / 3.0f * t * t * t + 12.0f * t * t - 20.0f * t + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}

struct Contributor {
    int index;
    float weight;
};
using ContributorList = std::vector<std::vector<Contributor>>;

int mirror(int j, int size)
{
    if (j < 0)
        j = -j;
    else if (j >= size)
        j = 2 * size - 1 - j;
    // Sources narrower than the filter can mirror past the other edge.
    return std::clamp(j, 0, size - 1);
}

ContributorList contributors(int sourceSize, int destSize, const TResampleFilter& filter)
{
    const float scale = float(destSize) / float(sourceSize);
    ContributorList lists(static_cast<size_t>(destSize));
    for (int i = 0; i < destSize; ++i) {
        const float center = float(i) / scale;
        auto& list = lists[size_t(i)];
        if (scale < 1.0f) {
            const float width = filter.support / scale;
            const float fscale = 1.0f / scale;
            for (int j = int(std::floor(center - width)); j <= int(std::ceil(center + width)); ++j) {
                const float weight = filter.function((center - float(j)) / fscale) / fscale;
                if (weight != 0.0f)
                    list.push_back({mirror(j, sourceSize), weight});
            }
        } else {
            for (int j = int(std::floor(center - filter.support));
                 j <= int(std::ceil(center + filter.support)); ++j) {
                const float weight = filter.function(center - float(j));
                if (weight != 0.0f)
                    list.push_back({mirror(j, sourceSize), weight});
            }
        }
    }
    return lists;
}

std::uint8_t clampChannel(float value)
{
    if (value > 255.0f)
        return 255;
    if (value < 0.0f)
        return 0;
    return std::uint8_t(std::nearbyint(value));
}

} // namespace

const std::array<TResampleFilter, 7>& resampleFilters()
{
    static const std::array<TResampleFilter, 7> filters{{
        {"Box", boxFilter, 0.5f},
        {"Triangle", triangleFilter, 1.0f},
        {"Hermite", hermiteFilter, 1.0f},
        {"Bell", bellFilter, 1.5f},
        {"B-Spline", bSplineFilter, 2.0f},
        {"Lanczos3", lanczos3Filter, 3.0f},
        {"Mitchell", mitchellFilter, 2.0f},
    }};
    return filters;
}

const TResampleFilter& resampleFilter(const QString& name)
{
    for (const auto& filter : resampleFilters())
        if (name == QLatin1StringView(filter.name))
            return filter;
    throw Exception(QStringLiteral("Unknown resampling filter \"%1\"").arg(name));
}

void filterResample(const TcsBitmap& source, TcsBitmap& destination,
                    const TResampleFilter& filter)
{
    const int sw = source.width(), sh = source.height();
    const int dw = destination.width(), dh = destination.height();
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0 || destination.pixelFormat() != pf24bit)
        return;
    const std::int64_t stride = std::int64_t{dw} * 3;
    std::vector<std::uint8_t> work(size_t(stride * sh));
    const bool direct24 = source.pixelFormat() == pf24bit;

    const ContributorList columns = contributors(sw, dw, filter);
    for (int r = 0; r < sh; ++r) {
        const std::uint8_t* s = source.scanLine(r);
        std::uint8_t* w = work.data() + r * stride;
        for (int i = 0; i < dw; ++i) {
            float b = 0, g = 0, red = 0;
            for (const Contributor& c : columns[size_t(i)]) {
                if (direct24) {
                    const std::uint8_t* p = s + 3 * c.index;
                    b += c.weight * p[0];
                    g += c.weight * p[1];
                    red += c.weight * p[2];
                } else {
                    const QRgb rgb = source.pixelRgb(c.index, r);
                    b += c.weight * float(qBlue(rgb));
                    g += c.weight * float(qGreen(rgb));
                    red += c.weight * float(qRed(rgb));
                }
            }
            w[3 * i] = clampChannel(b);
            w[3 * i + 1] = clampChannel(g);
            w[3 * i + 2] = clampChannel(red);
        }
    }

    const ContributorList rows = contributors(sh, dh, filter);
    for (int i = 0; i < dh; ++i) {
        std::uint8_t* out = destination.scanLine(i);
        for (int k = 0; k < stride; ++k) {
            float sum = 0;
            for (const Contributor& c : rows[size_t(i)])
                sum += c.weight * work[size_t(c.index * stride + k)];
            out[k] = clampChannel(sum);
        }
    }
}

} // namespace lystra
