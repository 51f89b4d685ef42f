// Statement text through the parameter parser and the binder: arbitrary
// text is parsed for ":name" markers, the parameters get values of types
// chosen from the input, and the parsed text is bound. Parsing must give the
// same text whether or not it creates parameters, and binding may only fail
// with the layer's own error (more markers than parameters).
#include "db/tcscustomsqldriver.h"
#include "db/tparams.h"
#include "platform/exception.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstdint>
#include <cstdlib>

using namespace lystra;

namespace {

QVariant valueOf(int selector, const QByteArray& text)
{
    switch (selector % 8) {
    case 0:
        return QVariant(); // NULL
    case 1:
        return text;
    case 2:
        return static_cast<int>(qHash(text));
    case 3:
        return static_cast<double>(qHash(text)) / 7.0;
    case 4:
        return (selector & 8) != 0;
    case 5:
        return QDate(1 + selector % 9999, 1 + selector % 12, 1 + selector % 28);
    case 6:
        return QTime(selector % 24, selector % 60, selector % 60);
    default:
        return QDateTime(QDate(2026, 1 + selector % 12, 1), QTime(selector % 24, 0));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The statement comes first; after a NUL, bytes that pick the types.
    const qsizetype split = input.indexOf('\0');
    const QByteArray statement = split < 0 ? input : input.left(split);
    const QByteArray selectors = split < 0 ? QByteArray() : input.mid(split + 1);

    TParams params;
    const QByteArray parsed = params.ParseSQL(statement, true);
    TParams counted;
    if (counted.ParseSQL(statement, false) != parsed || !counted.IsEmpty())
        std::abort();
    for (int i = 0; i < params.Count(); ++i) {
        const int selector =
            selectors.isEmpty() ? i : static_cast<unsigned char>(selectors[i % selectors.size()]);
        const QByteArray text = selectors.mid(i % (selectors.size() + 1));
        params.Items(i).SetValue(valueOf(selector, text));
        (void)params.Items(i).AsText();
    }
    try {
        const QByteArray bound = TcsCustomSQLDriver::BindParameters(parsed, &params);
        if (params.IsEmpty() ? bound != parsed : !bound.endsWith(' '))
            std::abort();
    } catch (const Exception&) {
        // More "?" in the text than parameters: the binder's own error.
    }
    return 0;
}
