#include "odbc/txmlparser.h"

namespace lystra {

TXMLParser::TXMLParser(QByteArrayView document) : m_document(document.toByteArray()) {}

bool TXMLParser::isNameChar(char c) noexcept
{
    return c == '/' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

QByteArray TXMLParser::NextTag()
{
    m_selfClosing = false;
    const qsizetype size = m_document.size();
    while (m_pos < size && !isNameChar(m_document[m_pos]))
        ++m_pos;
    const qsizetype start = m_pos;
    while (m_pos < size && isNameChar(m_document[m_pos]))
        ++m_pos;
    QByteArray name = m_document.sliced(start, m_pos - start);
    if (m_pos < size && m_document[m_pos] == '<')
        ++m_pos;
    // The flag ends up telling whether the character just before ">" is "/";
    // attributes in between are passed over unread.
    while (m_pos < size && m_document[m_pos] != '>') {
        m_selfClosing = m_document[m_pos] == '/';
        ++m_pos;
    }
    if (m_pos < size)
        ++m_pos;
    return name;
}

QByteArray TXMLParser::Text()
{
    if (m_selfClosing)
        return {};
    const qsizetype start = m_pos;
    qsizetype end = m_document.indexOf('<', start);
    if (end < 0)
        end = m_document.size();
    m_pos = end;
    return m_document.sliced(start, end - start);
}

bool TXMLParser::FindTag(QByteArrayView name)
{
    while (!AtEnd()) {
        if (QByteArrayView(NextTag()).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace lystra
