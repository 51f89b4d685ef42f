#include "db/tnamevaluelist.h"

namespace lystra {

int TNameValueList::IndexOfName(QStringView name) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines.at(i);
        const qsizetype eq = line.indexOf(u'=');
        const QStringView lineName = eq < 0 ? QStringView(line) : QStringView(line).first(eq);
        if (lineName.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString TNameValueList::Values(QStringView name) const
{
    const int i = IndexOfName(name);
    if (i < 0)
        return {};
    const QString& line = m_lines.at(i);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

void TNameValueList::SetValues(QStringView name, const QString& value)
{
    const int i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0)
            m_lines.removeAt(i);
        return;
    }
    const QString line = name.toString() + u'=' + value;
    if (i >= 0)
        m_lines[i] = line;
    else
        m_lines.append(line);
}

} // namespace lystra
