// The field-definition document: arbitrary bytes must either give a field
// list or fail with one of the documented exceptions.
#include "odbc/odbcerrors.h"
#include "odbc/todbcfield.h"

#include <cstdint>

using namespace lystra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        (void)readFieldDefs(document);
    } catch (const EXMLParseException&) {
    } catch (const EODBCError&) {
    } catch (const EConvertError&) {
    }
    return 0;
}
