#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace lystra {

// The reader of the field-definition document. It knows only tags and the
// text between them: attributes are skipped, entities are not decoded, text
// is not trimmed. Never reads outside its own copy of the document.
class TXMLParser {
public:
    explicit TXMLParser(QByteArrayView document);

    // Reads the next tag and answers its name ("/" + name for a closing tag);
    // an empty name when no name character is left. Characters before the
    // name are skipped; the position ends after the tag's ">" (or at the end).
    QByteArray NextTag();

    // The text after the last tag up to the next "<" or the end; empty when
    // that tag ended in "/>". Moves the position to the "<".
    QByteArray Text();

    // Reads tags until one equals `name` without regard to case (true) or the
    // end is reached (false).
    bool FindTag(QByteArrayView name);

    // True once the position has passed the last character.
    bool AtEnd() const noexcept { return m_pos >= m_document.size(); }
    bool SelfClosing() const noexcept { return m_selfClosing; }

    // Name characters: "/", digits, letters A-Z and a-z, "_".
    static bool isNameChar(char c) noexcept;

private:
    QByteArray m_document;
    qsizetype m_pos = 0;
    bool m_selfClosing = false;
};

} // namespace lystra
