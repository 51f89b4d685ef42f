#include "printfiles/tcolumndef.h"

#include "platform/formatsettings.h"

namespace lystra {

int TColumnDef::Width() const
{
    if (StartCol == 0 || EndCol == 0 || EndCol < StartCol)
        return 0;
    return EndCol - StartCol + 1;
}

Qt::Alignment TColumnDef::Alignment() const
{
    switch (Kind) {
    case TColumnKind::Number:
        return Qt::AlignRight;
    case TColumnKind::Date:
        return Qt::AlignHCenter;
    case TColumnKind::Text:
        break;
    }
    return Qt::AlignLeft;
}

QString TColumnDef::FormatMask() const
{
    if (Kind == TColumnKind::Date)
        return FormatSettings::current().shortDateFormat;
    if (Kind != TColumnKind::Number)
        return {};
    QString mask;
    if (Decimals < 1) {
        mask.fill(u'#', Width());
    } else {
        mask.fill(u'#', qMax(0, Width() - Decimals - 2));
        mask += u"0.";
        mask += QString(Decimals, u'0');
    }
    if (!mask.isEmpty())
        mask[0] = u',';
    return mask;
}

} // namespace lystra
