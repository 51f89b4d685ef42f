#pragma once

#include <QString>

#include <array>

namespace lystra {

class TcsBitmap;

// A reconstruction filter of the filter resampler: a function of x and the
// radius outside which it is 0.
struct TResampleFilter {
    const char* name;
    float (*function)(float x);
    float support;
};

// "Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell".
const std::array<TResampleFilter, 7>& resampleFilters();
// Throws lystra::Exception for a name that is not in the table.
const TResampleFilter& resampleFilter(const QString& name);

// The 24-bit resampler: source and destination are 24-bit and the
// destination has its size. Box averaging where an axis shrinks, 17-bit
// fixed-point linear interpolation where it grows, horizontal pass first,
// rows in storage order; equal sizes copy the source. The result does not
// depend on threads: rows are split over them when there are several
// (0 = as many as the machine has).
void resample24(const TcsBitmap& source, TcsBitmap& destination, int threads = 0);

// The filter resampler in single precision: any source format, a 24-bit
// destination. Indices outside the source mirror at its edges.
void filterResample(const TcsBitmap& source, TcsBitmap& destination,
                    const TResampleFilter& filter);

} // namespace lystra
