#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <array>

namespace lystra {

// The host's single-byte code page. Host text (page rows, table values, SQL)
// stays 8-bit as QByteArray so that column positions are character positions;
// it is decoded only where it meets the screen, the clipboard, file names or
// a spreadsheet.
//
// Every byte decodes to one UTF-16 unit and encodes back to the same byte:
// bytes the code page leaves undefined map to the control character of the
// same number, as Windows does. Characters the code page cannot hold encode
// as "?". An instance is immutable and safe to share between threads.
class HostCodec {
public:
    // Throws lystra::Exception when the name is unknown or the code page is
    // not a single-byte one.
    explicit HostCodec(const QByteArray& codePage = defaultCodePage());

    static QByteArray defaultCodePage() { return QByteArrayLiteral("windows-1252"); }

    QByteArray name() const { return m_name; }
    QString decode(QByteArrayView text) const;
    QChar decode(char c) const { return QChar(m_toUnicode[static_cast<unsigned char>(c)]); }
    QByteArray encode(QStringView text) const;
    char encode(QChar c) const;

    // The process-wide host code page, windows-1252 until set.
    static const HostCodec& host();
    static void setHost(const QByteArray& codePage);

private:
    QByteArray m_name;
    std::array<char16_t, 256> m_toUnicode{};
    std::array<short, 256> m_fromLatin1{}; // byte for U+0000..U+00FF, -1 when none
    QHash<char16_t, char> m_fromUnicode;   // the characters above U+00FF
};

} // namespace lystra
