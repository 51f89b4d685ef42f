// A header row of the print file table from arbitrary values: the input's
// lines are the fifteen columns in order. A row either raises a conversion
// error or gives a print file whose derived values are all usable.
#include "fakestore.h"

#include "platform/exception.h"
#include "printfiles/tprintfile.h"

#include <cstdint>
#include <cstdlib>

using namespace lystra;
using namespace lystra::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const columns[] = {"FID",   "FDATE", "FTIME", "FHGHT", "FWIDTH",
                                          "FPAGES", "FCPI", "FLPI",  "FSTAT", "FTYPE",
                                          "FFORM", "FNAME", "JOBNAM", "FTXT", "USER"};
    const QList<QByteArray> values =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
    FakeRow row;
    for (qsizetype i = 0; i < values.size() && i < 15; ++i)
        row.values.insert(columns[i], values[i]);
    FakeStore store;
    try {
        TPrintFile file(&store, row);
        if (!file.Created().isValid() || file.Cpi() <= 0 || file.Lpi() <= 0)
            std::abort();
        (void)file.DocumentFileName();
        (void)file.CreatedDateDigits();
        try {
            file.SetViewed(true);
        } catch (const Exception&) {
            // an identity that no statement can carry
        }
        if (file.PageCount() > 0 && file.PageCount() < 50)
            (void)file.Page(file.PageCount() - 1);
    } catch (const Exception&) {
    }
    return 0;
}
