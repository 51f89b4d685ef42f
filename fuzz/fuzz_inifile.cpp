// INI settings files fed with arbitrary bytes: every section and entry must
// survive writing the text back and reading it again, and a value written
// into any file must either be refused with an exception, leaving the text as
// it was, or read back unchanged.
//
// Input: the file's bytes; when they hold a NUL byte, what follows the first
// one is "section NUL key NUL value" (UTF-8) for one write into that file.
#include "platform/exception.h"
#include "platform/inifile.h"

#include <cstdint>
#include <cstdlib>

using lystra::IniFile;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Reads every entry in each typed way; none may fail.
void readAll(const IniFile& ini)
{
    for (const QString& section : ini.sections()) {
        for (const QString& key : ini.keys(section)) {
            check(ini.valueExists(section, key));
            (void)ini.readInteger(section, key, 0);
            (void)ini.readBool(section, key, false);
        }
    }
}

void writeAndReadBack(IniFile ini, const QString& section, const QString& key, const QString& value)
{
    const QByteArray before = ini.toBytes();
    try {
        ini.writeString(section, key, value);
    } catch (const lystra::Exception&) {
        check(ini.toBytes() == before);
        return;
    }
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    check(again.readString(section, key, {}) == value);
    check(again.readString(section.toUpper(), key.toLower(), {}) == value ||
          section.toUpper().compare(section, Qt::CaseInsensitive) != 0 ||
          key.toLower().compare(key, Qt::CaseInsensitive) != 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray fileBytes = split < 0 ? input : input.left(split);

    const IniFile ini = IniFile::fromBytes(fileBytes);
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    const QStringList sections = ini.sections();
    check(again.sections() == sections);
    for (const QString& section : sections) {
        const QStringList keys = ini.keys(section);
        check(again.keys(section) == keys);
        for (const QString& key : keys)
            check(again.readString(section, key, {}) == ini.readString(section, key, {}));
    }
    readAll(ini);

    if (split < 0) {
        writeAndReadBack(ini, QStringLiteral("Fuzz"), QStringLiteral("Key"),
                         QStringLiteral(" \"v\" "));
    } else {
        const QList<QByteArray> parts = input.mid(split + 1).split('\0');
        writeAndReadBack(ini, QString::fromUtf8(parts.value(0)), QString::fromUtf8(parts.value(1)),
                         QString::fromUtf8(parts.value(2)));
    }
    return 0;
}
