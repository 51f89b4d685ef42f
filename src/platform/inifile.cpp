#include "platform/inifile.h"

#include "platform/exception.h"
#include "platform/hostcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace lystra {

namespace {

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool isQuoted(QStringView text)
{
    return text.size() >= 2 && isQuote(text.front()) && text.back() == text.front();
}

QString unquote(const QString& value)
{
    return isQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

// The value as it goes into the file so that reading gives it back.
QString quoteIfNeeded(const QString& value)
{
    if (value != value.trimmed() || isQuoted(value))
        return u'"' + value + u'"';
    return value;
}

QString decodeFileText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return HostCodec::host().decode(bytes);
    while (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

IniFile::IniFile(const QString& fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return;
    }
    parse(decodeFileText(file.readAll()));
}

IniFile IniFile::fromBytes(const QByteArray& bytes)
{
    IniFile ini;
    ini.parse(decodeFileText(bytes));
    return ini;
}

void IniFile::parse(const QString& text)
{
    if (text.contains(u"\r\n"))
        m_newline = QStringLiteral("\r\n");
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the newline that ends the last line
    m_sections = {Section{}};
    for (QString& raw : lines) {
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(u'[')) {
            qsizetype end = trimmed.indexOf(u']');
            if (end < 0)
                end = trimmed.size();
            m_sections.append(Section{trimmed.mid(1, end - 1).trimmed(), true, raw, {}});
            continue;
        }
        Line line{raw, {}, {}};
        const qsizetype equals = trimmed.indexOf(u'=');
        if (equals > 0 && !trimmed.startsWith(u';')) {
            line.key = trimmed.left(equals).trimmed();
            line.value = unquote(trimmed.mid(equals + 1).trimmed());
        }
        m_sections.last().lines.append(line);
    }
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (const Section& section : m_sections) {
        if (section.hasHeader)
            text += section.header + m_newline;
        for (const Line& line : section.lines)
            text += line.text + m_newline;
    }
    return text.toUtf8();
}

qsizetype IniFile::sectionIndex(const QString& name) const
{
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        const Section& section = m_sections.at(i);
        if (section.hasHeader && section.name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype IniFile::entryIndex(const Section& section, const QString& key)
{
    for (qsizetype i = 0; i < section.lines.size(); ++i) {
        const QString& entryKey = section.lines.at(i).key;
        if (!entryKey.isEmpty() && entryKey.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const IniFile::Section* IniFile::findSection(const QString& name) const
{
    const qsizetype i = sectionIndex(name);
    return i < 0 ? nullptr : &m_sections.at(i);
}

const IniFile::Line* IniFile::findEntry(const Section& section, const QString& key)
{
    const qsizetype i = entryIndex(section, key);
    return i < 0 ? nullptr : &section.lines.at(i);
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Section& section : m_sections) {
        if (section.hasHeader)
            names.append(section.name);
    }
    return names;
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList names;
    if (const Section* s = findSection(section)) {
        for (const Line& line : s->lines) {
            if (!line.key.isEmpty())
                names.append(line.key);
        }
    }
    return names;
}

bool IniFile::sectionExists(const QString& section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::valueExists(const QString& section, const QString& key) const
{
    const Section* s = findSection(section);
    return s && findEntry(*s, key);
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& fallback) const
{
    const Section* s = findSection(section);
    const Line* line = s ? findEntry(*s, key.trimmed()) : nullptr;
    return line ? line->value : fallback;
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int value = readString(section, key, QString()).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

bool IniFile::readBool(const QString& section, const QString& key, bool fallback) const
{
    const QString text = readString(section, key, QString()).trimmed();
    if (text.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    return ok ? value != 0 : fallback;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const bool badSection = section.trimmed().isEmpty() || section.contains(u']') ||
                            section != section.trimmed() || hasLineBreak(section);
    const bool badKey = key.isEmpty() || key != key.trimmed() || key.contains(u'=') ||
                        key.startsWith(u'[') || key.startsWith(u';') || hasLineBreak(key);
    if (badSection || badKey || hasLineBreak(value)) {
        throw Exception(QStringLiteral("Cannot write the key '%1' of section '%2' to an INI file")
                            .arg(key, section));
    }
    qsizetype at = sectionIndex(section);
    if (at < 0) {
        m_sections.append(Section{section, true, u'[' + section + u']', {}});
        at = m_sections.size() - 1;
    }
    Section& s = m_sections[at];
    const qsizetype existing = entryIndex(s, key);
    if (existing >= 0) {
        Line& line = s.lines[existing];
        line.text = line.key + u'=' + quoteIfNeeded(value);
        line.value = value;
    } else {
        // After the section's last entry, so that comments and blank lines
        // that end the section stay where they are.
        qsizetype insertAt = 0;
        for (qsizetype i = 0; i < s.lines.size(); ++i) {
            if (!s.lines.at(i).key.isEmpty())
                insertAt = i + 1;
        }
        s.lines.insert(insertAt, Line{key + u'=' + quoteIfNeeded(value), key, value});
    }
    m_modified = true;
}

void IniFile::save()
{
    if (!m_modified)
        return;
    const auto fail = [this] {
        return Exception(QStringLiteral("Unable to write to %1").arg(m_fileName));
    };
    if (m_unreadable || m_fileName.isEmpty())
        throw fail();
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(toBytes()) < 0 || !file.commit())
        throw fail();
    m_modified = false;
}

} // namespace lystra
