#include "db/dbtypes.h"

namespace lystra {

bool isBlobType(TFieldType type) noexcept
{
    switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
        return true;
    default:
        return false;
    }
}

bool isStringType(TFieldType type) noexcept
{
    return type == ftString || type == ftFixedChar || type == ftWideString;
}

QByteArray trimTrailingBlanks(QByteArray text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    text.truncate(n);
    return text;
}

} // namespace lystra
