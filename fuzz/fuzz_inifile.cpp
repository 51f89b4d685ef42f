// INI settings files fed with arbitrary bytes: every section and entry must
// survive writing the text back and reading it again, and a value written
// into any file must read back unchanged.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniFile ini = IniFile::fromBytes(input);
    const IniFile again = IniFile::fromBytes(ini.toBytes());

    const QStringList sections = ini.sections();
    check(again.sections() == sections);
    for (const QString& section : sections) {
        const QStringList keys = ini.keys(section);
        check(again.keys(section) == keys);
        for (const QString& key : keys)
            check(again.readString(section, key, {}) == ini.readString(section, key, {}));
    }

    const QString value = QStringLiteral(" \"v\" ");
    ini.writeString(QStringLiteral("Fuzz"), QStringLiteral("Key"), value);
    check(IniFile::fromBytes(ini.toBytes())
              .readString(QStringLiteral("fuzz"), QStringLiteral("KEY"), {}) == value);
    return 0;
}
