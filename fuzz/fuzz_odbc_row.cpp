// Row blocks and row text of the gateway protocol: every row of an arbitrary
// block is split into values, once into a fresh list and once into a reused
// one (the two must agree), and each value is decoded as a column kind
// chosen by its position (one kind per value keeps the runs fast).
#include "odbc/odbcprotocol.h"
#include "odbc/odbcvalue.h"
#include "platform/exception.h"

#include <cstdint>
#include <cstdlib>

using namespace lystra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView block(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<QByteArray> reused;
    qsizetype pos = 0;
    while (pos < block.size()) {
        const odbc::RowParse row = odbc::nextRow(block, pos);
        if (row.next <= pos || row.next > block.size())
            std::abort();
        pos = row.next;
        odbc::splitRowText(row.text, reused);
        if (reused != odbc::splitRowText(row.text))
            std::abort();
        constexpr int kindCount = static_cast<int>(TODBCFieldKind::Blob) + 1;
        for (qsizetype i = 0; i < reused.size(); ++i) {
            const QByteArray& value = reused[i];
            if (value.size() > row.text.size())
                std::abort();
            const int kind = static_cast<int>((i + pos) % kindCount);
            try {
                (void)decodeValue(static_cast<TODBCFieldKind>(kind), value, i % 2 == 0);
            } catch (const EConvertError&) {
            }
        }
    }
    return 0;
}
