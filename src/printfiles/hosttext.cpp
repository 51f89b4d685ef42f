#include "printfiles/hosttext.h"

#include "platform/formatsettings.h"
#include "platform/hostcodec.h"

#include <algorithm>

namespace lystra {

namespace {
bool isTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

QByteArray TrimHost(QByteArrayView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isTrimmed(text[first]))
        ++first;
    while (last > first && isTrimmed(text[last - 1]))
        --last;
    return text.sliced(first, last - first).toByteArray();
}

QByteArray TrimRightHost(QByteArrayView text)
{
    qsizetype last = text.size();
    while (last > 0 && isTrimmed(text[last - 1]))
        --last;
    return text.first(last).toByteArray();
}

bool IsBlankHost(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), isTrimmed);
}

QByteArray NormalizeNumbers(QByteArrayView text, char decimalSeparator)
{
    // Built back to front: a deleted separator is not copied, and the blanks
    // that go in front of the character ending a number follow it here.
    QByteArray reversed;
    reversed.reserve(text.size());
    bool rightIsDigit = false;
    bool hasDecimal = false;
    qsizetype removed = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const char c = text[i];
        const bool digit = isDigit(c);
        const bool separator = (c == ',' || c == '.') && rightIsDigit;
        if (separator && hasDecimal) {
            ++removed;
        } else if (separator) {
            reversed.append(decimalSeparator);
            hasDecimal = true;
        } else {
            reversed.append(c);
            if (!digit && hasDecimal) {
                reversed.append(removed, ' ');
                removed = 0;
                hasDecimal = false;
            }
        }
        rightIsDigit = digit;
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

char HostDecimalSeparator()
{
    return HostCodec::host().encode(FormatSettings::current().decimalSeparator);
}

QByteArray NormalizeNumbers(QByteArrayView text)
{
    return NormalizeNumbers(text, HostDecimalSeparator());
}

QByteArray ReplaceStars(QByteArrayView text)
{
    QByteArray result = text.toByteArray();
    result.replace('*', ' ');
    return result;
}

} // namespace lystra
