#include "printfiles/sqltext.h"

#include "platform/exception.h"
#include "platform/hostcodec.h"

namespace lystra {

QByteArray SqlString(QByteArrayView text)
{
    QByteArray literal;
    literal.reserve(text.size() + 2);
    literal.append('\'');
    for (char c : text) {
        if (c == '\0' || c == '\r' || c == '\n')
            throw Exception(QStringLiteral("Ogiltigt tecken i SQL-text: \"%1\"")
                                .arg(HostCodec::host().decode(text).simplified()));
        if (c == '\'')
            literal.append('\'');
        literal.append(c);
    }
    literal.append('\'');
    return literal;
}

bool IsTableName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    const HostCodec& codec = HostCodec::host();
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool special = c == '_' || c == '#' || c == '@' || c == '$';
        const bool digit = c >= '0' && c <= '9';
        const bool letter = codec.decode(c).isLetter();
        if (!(special || letter || (digit && i > 0)))
            return false;
    }
    return true;
}

QByteArray CheckedUserTable(QByteArrayView name)
{
    if (!IsTableName(name))
        throw Exception(QStringLiteral("Användarprofilen \"%1\" kan inte vara ett tabellnamn")
                            .arg(HostCodec::host().decode(name)));
    return name.toByteArray();
}

} // namespace lystra
