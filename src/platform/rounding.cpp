#include "platform/rounding.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>

namespace lystra {

std::int64_t roundHalfEven64(double value)
{
    // std::nearbyint rounds in the current mode, which is to-nearest-even
    // unless somebody changed it; make sure of it rather than assume it.
    if (std::fegetround() != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    return static_cast<std::int64_t>(std::nearbyint(value));
}

int roundHalfEven(double value)
{
    return static_cast<int>(roundHalfEven64(value));
}

int divRound(double numerator, double denominator)
{
    return roundHalfEven(numerator / denominator);
}

int mulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t half = std::llabs(denominator) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(denominator);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int millimetresToPixels(double millimetres, int pixelsPerInch)
{
    return roundHalfEven(millimetres * pixelsPerInch / kMillimetresPerInch);
}

double pixelsToMillimetres(int pixels, int pixelsPerInch)
{
    return pixels * kMillimetresPerInch / pixelsPerInch;
}

} // namespace lystra
