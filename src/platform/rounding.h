#pragma once

#include <cstdint>

namespace lystra {

// Geometry divides in floating point and rounds to the nearest integer with
// halves to even (37.5 gives 38, 12.5 gives 12), everywhere in the program.
inline constexpr double kMillimetresPerInch = 25.39;

int roundHalfEven(double value);
std::int64_t roundHalfEven64(double value);

// rnd(numerator / denominator) in floating point.
int divRound(double numerator, double denominator);

// number * numerator / denominator with a 64-bit intermediate, rounded to the
// nearest integer with halves away from zero, as the Windows call of that
// name does; -1 when the denominator is 0.
int mulDiv(int number, int numerator, int denominator);

// Millimetres to device pixels and back at the given pixels per inch.
int millimetresToPixels(double millimetres, int pixelsPerInch);
double pixelsToMillimetres(int pixels, int pixelsPerInch);

} // namespace lystra
