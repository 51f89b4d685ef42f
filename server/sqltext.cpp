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

int countParameterMarkers(QStringView statement)
{
    int count = 0;
    const qsizetype n = statement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = statement[i];
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside stands for one; either way the literal
            // continues after it, so skipping to each next quote is enough.
            qsizetype end = statement.indexOf(c, i + 1);
            i = end < 0 ? n : end;
        } else if (c == u'-' && i + 1 < n && statement[i + 1] == u'-') {
            const qsizetype end = statement.indexOf(u'\n', i + 2);
            i = end < 0 ? n : end;
        } else if (c == u'/' && i + 1 < n && statement[i + 1] == u'*') {
            const qsizetype end = statement.indexOf(u"*/", i + 2);
            i = end < 0 ? n : end + 1;
        } else if (c == u'?') {
            ++count;
        }
    }
    return count;
}

} // namespace lystra
