#pragma once

#include <QString>
#include <QStringList>

namespace lystra {

// A list of name=value lines, as a database keeps its connection values.
// Names are matched without regard to case; assigning an empty value
// removes the line.
class TNameValueList {
public:
    QString Values(QStringView name) const;
    void SetValues(QStringView name, const QString& value);
    void Remove(QStringView name) { SetValues(name, QString()); }
    bool Contains(QStringView name) const { return IndexOfName(name) >= 0; }

    const QStringList& Lines() const noexcept { return m_lines; }
    void SetLines(QStringList lines) { m_lines = std::move(lines); }
    int Count() const { return static_cast<int>(m_lines.size()); }
    void Clear() { m_lines.clear(); }

private:
    int IndexOfName(QStringView name) const;
    QStringList m_lines;
};

} // namespace lystra
