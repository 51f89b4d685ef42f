#include "platform/hostcodec.h"

#include "platform/exception.h"

#include <QStringDecoder>

#include <memory>

namespace lystra {

HostCodec::HostCodec(const QByteArray& codePage) : m_name(codePage)
{
    m_fromLatin1.fill(-1);
    QStringDecoder decoder(codePage.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        throw Exception(QStringLiteral("Unknown code page \"%1\"").arg(QString::fromLatin1(codePage)));

    // A multi-byte code page shows itself by lead bytes that decode to
    // nothing or to a replacement character on their own.
    int undefinedCount = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const QString decoded = decoder.decode(QByteArrayView(&c, 1));
        const bool undefined = decoded.size() != 1 || decoded[0] == QChar::ReplacementCharacter;
        undefinedCount += undefined ? 1 : 0;
        const char16_t unit = undefined ? char16_t(byte) : decoded[0].unicode();
        m_toUnicode[byte] = unit;
        if (unit < 256)
            m_fromLatin1[unit] = static_cast<short>(byte);
        else
            m_fromUnicode.insert(unit, c);
    }
    if (undefinedCount > 64)
        throw Exception(QStringLiteral("Code page \"%1\" is not a single-byte code page")
                            .arg(QString::fromLatin1(codePage)));
}

QString HostCodec::decode(QByteArrayView text) const
{
    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    for (char c : text)
        *out++ = QChar(m_toUnicode[static_cast<unsigned char>(c)]);
    return result;
}

char HostCodec::encode(QChar c) const
{
    const char16_t unit = c.unicode();
    if (unit < 256)
        return m_fromLatin1[unit] < 0 ? '?' : static_cast<char>(m_fromLatin1[unit]);
    return m_fromUnicode.value(unit, '?');
}

QByteArray HostCodec::encode(QStringView text) const
{
    QByteArray result(text.size(), Qt::Uninitialized);
    char* out = result.data();
    for (QChar c : text)
        *out++ = encode(c);
    return result;
}

namespace {
std::shared_ptr<const HostCodec>& hostInstance()
{
    static std::shared_ptr<const HostCodec> instance = std::make_shared<const HostCodec>();
    return instance;
}
} // namespace

const HostCodec& HostCodec::host()
{
    return *hostInstance();
}

void HostCodec::setHost(const QByteArray& codePage)
{
    // The old instance stays alive until the process ends: references handed
    // out by host() may still be in use by callers.
    static QList<std::shared_ptr<const HostCodec>> retired;
    retired.append(hostInstance());
    hostInstance() = std::make_shared<const HostCodec>(codePage);
}

} // namespace lystra
