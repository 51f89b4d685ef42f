#include "imaging/resample.h"
#include "imaging/tcsbitmap.h"
#include "testpage.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

using namespace lystra;

namespace {


std::vector<int> blueRow(const TcsBitmap& bitmap)
{
    std::vector<int> values;
    for (int i = 0; i < bitmap.width(); ++i)
        values.push_back(bitmap.scanLine(0)[3 * i]);
    return values;
}

void setGrey(TcsBitmap& bitmap, const std::vector<int>& values)
{
    for (size_t i = 0; i < values.size(); ++i)
        std::memset(bitmap.scanLine(0) + 3 * i, values[i], 3);
}

void fillRandom(TcsBitmap& bitmap, unsigned seed)
{
    std::mt19937 random(seed);
    for (std::int64_t i = 0; i < bitmap.imageBytes(); ++i)
        bitmap.bits()[i] = std::uint8_t(random());
}

// The 24-bit resampler written down as plainly as possible: doubles, one
// division per value, no tables and no threads.
std::vector<std::uint8_t> referenceResample(const TcsBitmap& src, int dw, int dh)
{
    const int sw = src.width(), sh = src.height();
    const double xs = double(dw) / sw, ys = double(dh) / sh;
    std::vector<std::uint8_t> work(size_t(dw) * sh * 3), out(size_t(dw) * dh * 3);
    auto channel = [](int a, int b, int frac) {
        return int(a + std::floor(double(b - a) * frac / 131072.0));
    };
    for (int r = 0; r < sh; ++r) {
        const std::uint8_t* s = src.scanLine(r);
        for (int i = 0; i < dw; ++i) {
            const double x = i / xs;
            const int first = int(std::trunc(x));
            for (int c = 0; c < 3; ++c) {
                int value;
                if (xs > 1) {
                    const int frac = int(std::trunc((x - first) * 131072));
                    const int next = std::min(first + 1, sw - 1);
                    value = channel(s[3 * first + c], s[3 * next + c], frac);
                } else {
                    const int last = int(std::trunc(std::min(i + 1, dw - 1) / xs + 1e-10));
                    int sum = 0;
                    for (int j = first; j <= last; ++j)
                        sum += s[3 * j + c];
                    value = sum / (last - first + 1);
                }
                work[(size_t(r) * dw + i) * 3 + c] = std::uint8_t(value);
            }
        }
    }
    for (int i = 0; i < dh; ++i) {
        for (int k = 0; k < dw * 3; ++k) {
            int value;
            if (ys > 1) {
                const double y = i / ys;
                const int r = int(std::trunc(y));
                const int frac = int(std::trunc((y - r) * 131072));
                const int next = r + 1 >= sh ? r : r + 1;
                value = channel(work[size_t(r) * dw * 3 + k], work[size_t(next) * dw * 3 + k], frac);
            } else {
                const int first = int(std::trunc(i / ys));
                const int last = int(std::trunc(std::min(i + 1, dh - 1) / ys));
                int sum = 0;
                for (int r = first; r <= last; ++r)
                    sum += work[size_t(r) * dw * 3 + k];
                value = sum / (last - first + 1);
            }
            out[(size_t(i) * dw) * 3 + k] = std::uint8_t(value);
        }
    }
    return out;
}

// Index of the first byte that differs, -1 when none.
std::int64_t firstDifference(const TcsBitmap& result, const std::vector<std::uint8_t>& expected)
{
    const int w = result.width() * 3;
    for (int row = 0; row < result.height(); ++row)
        for (int k = 0; k < w; ++k)
            if (result.scanLine(row)[k] != expected[size_t(row) * w + k])
                return std::int64_t{row} * w + k;
    return -1;
}

} // namespace

TEST(Resample24, WorkedExamples)
{
    const struct {
        const char* name;
        std::vector<int> source;
        int width;
        std::vector<int> expected;
    } cases[] = {
        // Spans 0..2 and 2..2: pixel 3 is never used.
        {"shrink 4 to 2", {0, 100, 200, 255}, 2, {100, 200}},
        // Fractions 0, 1/2, 0, 1/2; the last pixel's neighbour is itself.
        {"grow 2 to 4", {200, 100}, 4, {200, 150, 100, 100}},
        {"grow rounds down", {0, 255, 10}, 5, {0, 152, 206, 59, 10}},
    };
    for (const auto& c : cases) {
        TcsBitmap source(int(c.source.size()), 1, pf24bit);
        setGrey(source, c.source);
        TcsBitmap destination(c.width, 1, pf24bit);
        source.resample(destination);
        EXPECT_EQ(blueRow(destination), c.expected) << c.name;
    }
}

TEST(Resample24, EqualSizesCopyExactly)
{
    TcsBitmap source(7, 5, pf24bit);
    fillRandom(source, 5);
    source.bitmapInfo()->header.xPelsPerMeter = 12000;
    TcsBitmap destination(7, 5, pf24bit);
    source.resample(destination);
    EXPECT_EQ(destination.bitmapInfo()->header, source.bitmapInfo()->header);
    EXPECT_EQ(std::memcmp(destination.bits(), source.bits(), size_t(source.imageBytes())), 0);
}

TEST(Resample24, MatchesTheFormulasBitForBit)
{
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {
        {97, 61, 31, 17},  {50, 40, 120, 90}, {64, 48, 200, 12}, {33, 77, 33, 20},
        {40, 30, 13, 30},  {3, 900, 2, 1},    {1, 1, 5, 3},      {300, 7, 299, 8},
        {257, 255, 256, 1},
        // Spans of five and six source pixels side by side, and a last group
        // of four pixels that ends one pixel before the row does.
        {200, 9, 44, 5},   {123, 4, 41, 2},
    };
    for (const auto& s : sizes) {
        TcsBitmap source(s.sw, s.sh, pf24bit);
        fillRandom(source, unsigned(s.sw * 31 + s.dh));
        const auto expected = referenceResample(source, s.dw, s.dh);
        for (const int threads : {1, 2, 3}) {
            TcsBitmap destination(s.dw, s.dh, pf24bit);
            resample24(source, destination, threads);
            EXPECT_EQ(firstDifference(destination, expected), -1)
                << s.sw << "x" << s.sh << " to " << s.dw << "x" << s.dh << ", " << threads
                << " threads";
        }
    }
}

TEST(Resample24, PageShrinksToTheWindowSizesAsTheFormulasSay)
{
    TcsBitmap page;
    page.assignGraphic(lystra::testing::renderReportPage(), 300);
    ASSERT_EQ(page.pixelFormat(), pf24bit);
    for (const QSize size : {QSize(700, 990), QSize(1400, 1980), QSize(279, 394)}) {
        TcsBitmap destination(size.width(), size.height(), pf24bit);
        page.resample(destination);
        EXPECT_EQ(firstDifference(destination,
                                  referenceResample(page, size.width(), size.height())),
                  -1)
            << size.width() << "x" << size.height();
    }
}

TEST(FilterResample, FilterValues)
{
    const struct {
        const char* name;
        float x;
        float expected;
    } cases[] = {
        {"Box", 0.5f, 1},          {"Box", -0.5f, 0},      {"Triangle", 0.25f, 0.75f},
        {"Hermite", 0.5f, 0.5f},   {"Bell", 1.0f, 0.125f}, {"B-Spline", 0, 2.0f / 3},
        {"B-Spline", 1.5f, 1.0f / 48}, {"Lanczos3", 0, 1}, {"Lanczos3", 2, 0},
        {"Lanczos3", 3.5f, 0},     {"Mitchell", 0, 16.0f / 18}, {"Mitchell", 1, 1.0f / 18},
    };
    for (const auto& c : cases) {
        const TResampleFilter& filter = resampleFilter(QLatin1StringView(c.name));
        EXPECT_NEAR(filter.function(c.x), c.expected, 1e-6) << c.name << " at " << c.x;
    }
    EXPECT_EQ(resampleFilters().size(), 7u);
    EXPECT_THROW(resampleFilter(QStringLiteral("Gauss")), Exception);
}

TEST(FilterResample, IndexedImagesResampleThroughTheirColours)
{
    // A uniform indexed picture stays (nearly) its colour at any scale, also
    // when the filter reaches far past the edges of a tiny source.
    for (const QSize source : {QSize(40, 30), QSize(1, 1), QSize(2, 3)}) {
        for (const QSize target : {QSize(13, 9), QSize(80, 70)}) {
            TcsBitmap indexed(source.width(), source.height(), pf8bit);
            indexed.bitmapInfo()->colors[4] = 0x3C78B4;
            std::memset(indexed.bits(), 4, size_t(indexed.imageBytes()));
            TcsBitmap destination(target.width(), target.height(), pf24bit);
            indexed.resample(destination);
            int worst = 0;
            for (int y = 0; y < target.height(); ++y)
                for (int x = 0; x < target.width(); ++x) {
                    const QRgb c = destination.pixelRgb(x, y);
                    worst = std::max({worst, std::abs(qRed(c) - 0x3C), std::abs(qGreen(c) - 0x78),
                                      std::abs(qBlue(c) - 0xB4)});
                }
            EXPECT_LE(worst, 4) << source.width() << "x" << source.height() << " to "
                                << target.width() << "x" << target.height();
        }
    }
}
