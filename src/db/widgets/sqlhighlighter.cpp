#include "db/widgets/sqlhighlighter.h"

#include <QStringList>

#include <algorithm>

namespace lystra {

namespace {

// Block state: inside a brace comment that continues on the next line.
constexpr int kInBraceComment = 1;

const QStringList& keywords()
{
    static const QStringList words = {
        QStringLiteral("and"),      QStringLiteral("begin"),      QStringLiteral("break"),
        QStringLiteral("by"),       QStringLiteral("close"),      QStringLiteral("continue"),
        QStringLiteral("create"),   QStringLiteral("deallocate"), QStringLiteral("declare"),
        QStringLiteral("delete"),   QStringLiteral("do"),         QStringLiteral("else"),
        QStringLiteral("end"),      QStringLiteral("exec"),       QStringLiteral("fetch"),
        QStringLiteral("for"),      QStringLiteral("from"),       QStringLiteral("group"),
        QStringLiteral("having"),   QStringLiteral("if"),         QStringLiteral("inner"),
        QStringLiteral("insert"),   QStringLiteral("join"),       QStringLiteral("left"),
        QStringLiteral("like"),     QStringLiteral("not"),        QStringLiteral("on"),
        QStringLiteral("open"),     QStringLiteral("or"),         QStringLiteral("order"),
        QStringLiteral("outer"),    QStringLiteral("proc"),       QStringLiteral("procedure"),
        QStringLiteral("repeat"),   QStringLiteral("return"),     QStringLiteral("right"),
        QStringLiteral("rollback"), QStringLiteral("select"),     QStringLiteral("set"),
        QStringLiteral("to"),       QStringLiteral("trans"),      QStringLiteral("transaction"),
        QStringLiteral("until"),    QStringLiteral("update"),     QStringLiteral("values"),
        QStringLiteral("where"),    QStringLiteral("while"),
    };
    return words;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#' || c == u'@';
}

bool containsWord(const QStringList& words, QStringView word)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const QString& w) { return word.compare(w, Qt::CaseInsensitive) == 0; });
}

} // namespace

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document)
{
    m_keyword.setForeground(QColor(Qt::blue));
    m_keyword.setFontWeight(QFont::Bold);
    m_function.setForeground(QColor(Qt::darkMagenta));
    m_string.setForeground(QColor(Qt::darkGreen));
    m_quotedName.setForeground(QColor(Qt::darkCyan));
    m_comment.setForeground(QColor(0x00, 0x00, 0x80)); // navy
    m_comment.setFontItalic(true);
    m_number.setForeground(QColor(Qt::red));
}

QTextCharFormat SqlHighlighter::format(Element element) const
{
    switch (element) {
    case Keyword:
        return m_keyword;
    case Function:
        return m_function;
    case String:
        return m_string;
    case QuotedName:
        return m_quotedName;
    case Comment:
        return m_comment;
    case Number:
        return m_number;
    case Plain:
        break;
    }
    return QTextCharFormat();
}

bool SqlHighlighter::isKeyword(QStringView word)
{
    return containsWord(keywords(), word);
}

bool SqlHighlighter::isFunction(QStringView word)
{
    static const QStringList functions = {QStringLiteral("concat"), QStringLiteral("substr"),
                                          QStringLiteral("trim")};
    return containsWord(functions, word);
}

void SqlHighlighter::highlightBlock(const QString& text)
{
    const qsizetype length = text.size();
    qsizetype i = 0;
    setCurrentBlockState(0);

    // A brace comment carried over from the line before.
    if (previousBlockState() == kInBraceComment) {
        const qsizetype close = text.indexOf(u'}');
        const qsizetype end = close < 0 ? length : close + 1;
        setFormat(0, int(end), m_comment);
        if (close < 0) {
            setCurrentBlockState(kInBraceComment);
            return;
        }
        i = end;
    }

    while (i < length) {
        const QChar c = text.at(i);
        if (c == u'/' && i + 1 < length && text.at(i + 1) == u'/') {
            setFormat(int(i), int(length - i), m_comment);
            return;
        }
        if (c == u'{') {
            const qsizetype close = text.indexOf(u'}', i + 1);
            const qsizetype end = close < 0 ? length : close + 1;
            setFormat(int(i), int(end - i), m_comment);
            if (close < 0) {
                setCurrentBlockState(kInBraceComment);
                return;
            }
            i = end;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside stays in the literal; an open literal
            // ends with the line.
            qsizetype j = i + 1;
            while (j < length) {
                if (text.at(j) == c) {
                    if (j + 1 < length && text.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = std::min(j + 1, length);
            setFormat(int(i), int(end - i), c == u'\'' ? m_string : m_quotedName);
            i = end;
            continue;
        }
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < length && (text.at(j).isDigit() || text.at(j) == u'.'))
                ++j;
            setFormat(int(i), int(j - i), m_number);
            i = j;
            continue;
        }
        if (isWordChar(c)) {
            qsizetype j = i;
            while (j < length && isWordChar(text.at(j)))
                ++j;
            const QStringView word = QStringView(text).sliced(i, j - i);
            if (isKeyword(word))
                setFormat(int(i), int(j - i), m_keyword);
            else if (isFunction(word))
                setFormat(int(i), int(j - i), m_function);
            i = j;
            continue;
        }
        ++i;
    }
}

} // namespace lystra
