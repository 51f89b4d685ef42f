#include "server/sqltext.h"

#include <QRegularExpression>

namespace lystra {

QString withoutIsolationClause(const QString& statement)
{
    static const QRegularExpression clause(QStringLiteral("\\s+with\\s+nc\\s*;?\\s*\\z"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = clause.match(statement);
    if (!match.hasMatch())
        return statement;
    return statement.first(match.capturedStart());
}

namespace {

// When a quoted literal or identifier, or a comment, starts at `i`: the
// position of its last character (the length when it is not closed), so a
// scan can step over it. Otherwise -1. A doubled quote inside a literal
// stands for one; either way the literal continues after it, so ending at
// each next quote and going on from there is enough.
qsizetype endOfQuoteOrComment(QStringView statement, qsizetype i)
{
    const qsizetype n = statement.size();
    const QChar c = statement[i];
    qsizetype end = -1;
    if (c == u'\'' || c == u'"') {
        end = statement.indexOf(c, i + 1);
    } else if (c == u'-' && i + 1 < n && statement[i + 1] == u'-') {
        end = statement.indexOf(u'\n', i + 2);
    } else if (c == u'/' && i + 1 < n && statement[i + 1] == u'*') {
        end = statement.indexOf(u"*/", i + 2);
        if (end >= 0)
            ++end;
    } else {
        return -1;
    }
    return end < 0 ? n : end;
}

bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#' || c == u'@';
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

int countParameterMarkers(QStringView statement)
{
    int count = 0;
    const qsizetype n = statement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = statement[i];
        if (const qsizetype last = endOfQuoteOrComment(statement, i); last >= 0) {
            i = last;
        } else if (c == u'?') {
            ++count;
        }
    }
    return count;
}

QString hexLiteralsAsBlobs(const QString& statement)
{
    QString out;
    const qsizetype n = statement.size();
    qsizetype copied = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = statement[i];
        if (const qsizetype last = endOfQuoteOrComment(statement, i); last >= 0) {
            i = last;
        } else if (c == u'0' && i + 1 < n && (statement[i + 1] == u'x' || statement[i + 1] == u'X') &&
                   (i == 0 || !isIdentifierChar(statement[i - 1]))) {
            qsizetype end = i + 2;
            while (end < n && isHexDigit(statement[end]))
                ++end;
            const qsizetype digits = end - i - 2;
            if (digits > 0 && digits % 2 == 0 && (end == n || !isIdentifierChar(statement[end]))) {
                out += QStringView(statement).sliced(copied, i - copied);
                out += u"X'" + QStringView(statement).sliced(i + 2, digits) + u'\'';
                copied = end;
            }
            i = end - 1;
        }
    }
    if (copied == 0)
        return statement;
    out += QStringView(statement).sliced(copied);
    return out;
}

} // namespace lystra
