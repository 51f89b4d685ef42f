#include "platform/convert.h"

#include "platform/exception.h"
#include "platform/hostcodec.h"

#include <charconv>
#include <limits>

namespace lystra {

namespace {

QByteArrayView skipLeadingBlanks(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return text.sliced(i);
}

[[noreturn]] void raiseInvalid(QByteArrayView text, const char* what)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2 value")
                            .arg(HostCodec::host().decode(text), QLatin1StringView(what)));
}

} // namespace

std::optional<std::int64_t> parseInt64(QByteArrayView text)
{
    text = skipLeadingBlanks(text);
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // Accumulate as a negative number so that the most negative value fits.
    std::int64_t value = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest)
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::int64_t toInt64(QByteArrayView text)
{
    if (const auto value = parseInt64(text))
        return *value;
    raiseInvalid(text, "integer");
}

int toInt(QByteArrayView text)
{
    const auto value = parseInt64(text);
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max())
        raiseInvalid(text, "integer");
    return static_cast<int>(*value);
}

int toIntDef(QByteArrayView text, int fallback)
{
    const auto value = parseInt64(text);
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max())
        return fallback;
    return static_cast<int>(*value);
}

std::optional<double> parseDouble(QByteArrayView text)
{
    text = skipLeadingBlanks(text);
    if (!text.isEmpty() && text[0] == '+')
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return value;
}

double toDouble(QByteArrayView text)
{
    if (const auto value = parseDouble(text))
        return *value;
    raiseInvalid(text, "floating point");
}

} // namespace lystra
