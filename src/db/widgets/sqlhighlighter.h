#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace lystra {

// SQL colouring of the SQL log: keywords and the functions concat, substr
// and trim (whole words, any case), strings between single quotes, names
// between double quotes, numbers in red, and comments in navy italics:
// from "//" to the end of the line and between "{" and "}" (across lines).
// The log writes its own notes in braces, so they show as comments.
class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum Element { Plain, Keyword, Function, String, QuotedName, Comment, Number };

    explicit SqlHighlighter(QTextDocument* document);

    // The format an element is drawn with.
    QTextCharFormat format(Element element) const;
    static bool isKeyword(QStringView word);
    static bool isFunction(QStringView word);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat m_keyword;
    QTextCharFormat m_function;
    QTextCharFormat m_string;
    QTextCharFormat m_quotedName;
    QTextCharFormat m_comment;
    QTextCharFormat m_number;
};

} // namespace lystra
