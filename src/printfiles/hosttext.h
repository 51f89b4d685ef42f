#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lystra {

// Small functions over 8-bit host text (one byte is one character position).

// The text without leading and trailing characters up to and including the
// blank (code 32 and the control characters below it).
QByteArray TrimHost(QByteArrayView text);
// The text without such characters at its end only.
QByteArray TrimRightHost(QByteArrayView text);
// Whether the text holds nothing but such characters.
bool IsBlankHost(QByteArrayView text);

// Gives every number in `text` the decimal separator `decimalSeparator` once and
// drops its grouping separators. The text is scanned from its end: a "," or "."
// whose right neighbour is a digit is a separator; the rightmost separator of a
// run of digits becomes the decimal separator, every other one of the same run
// is deleted. Where such a number ends inside the text, as many blanks as
// separators were deleted are put in front of the character that ends it, so
// that columns to the left keep their positions; a number that runs to the start
// of the text just gets shorter. With a comma as decimal separator,
// "X1.234.567,50" becomes "  X1234567,50" and "1.5" becomes "1,5".
QByteArray NormalizeNumbers(QByteArrayView text, char decimalSeparator);
// The same with the decimal separator of the user's number format
// (FormatSettings::current(), in the host code page).
QByteArray NormalizeNumbers(QByteArrayView text);

// The text with every "*" replaced by a blank.
QByteArray ReplaceStars(QByteArrayView text);

// The decimal separator of FormatSettings::current() as a host byte.
char HostDecimalSeparator();

} // namespace lystra
