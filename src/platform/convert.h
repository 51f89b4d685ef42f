#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace lystra {

// Conversions of 8-bit host text to numbers, in the strict form the host
// data and the gateway protocol use: optional leading blanks, an optional
// sign, decimal digits, nothing after them. A text that does not convert
// raises EConvertError "'<text>' is not a valid integer value".
int toInt(QByteArrayView text);
std::int64_t toInt64(QByteArrayView text);

// The same rules without the exception: nullopt when the text is not a
// number or does not fit.
std::optional<std::int64_t> parseInt64(QByteArrayView text);

// Like toInt, but gives `fallback` instead of raising.
int toIntDef(QByteArrayView text, int fallback);

// A decimal number with "." as the decimal separator and an optional
// exponent, as values of type double and currency travel on the wire.
// Raises EConvertError "'<text>' is not a valid floating point value".
double toDouble(QByteArrayView text);
std::optional<double> parseDouble(QByteArrayView text);

} // namespace lystra
