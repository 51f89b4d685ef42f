// The server's reading of client input, fed with arbitrary bytes: the byte
// stream cut into lines (arriving in pieces, with a small line limit), each
// line split into its command and arguments, and the statement text helpers.
// Nothing may crash, and the pieces must stay inside their input.
#include "server/command.h"
#include "server/linereader.h"
#include "server/linescanner.h"
#include "server/sqltext.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace lystra;

namespace {

void checkLine(QByteArrayView line)
{
    const Command command = parseCommand(line);
    if (command.argument.size() > line.size() || command.word.size() > line.size())
        std::abort();
    const OpenArguments open = splitOpenArguments(command.argument);
    if (open.database.size() + open.user.size() + open.password.size() > command.argument.size())
        std::abort();
    if (const auto rows = parseRowCount(command.argument, 1000); rows && (*rows < 1 || *rows > 1000))
        std::abort();
    const QString text = QString::fromLatin1(command.argument);
    const int markers = countParameterMarkers(text);
    if (markers < 0 || markers > text.size())
        std::abort();
    const QList<QByteArray> values = splitExecValues(command.argument, markers);
    if (values.size() > command.argument.size() + 1)
        std::abort();
    const SysRequest sys = parseSysRequest(command.argument);
    if (sys.argument.size() > command.argument.size())
        std::abort();
    if (printable(line).size() > 40 + 3) // "..." marks a cut
        std::abort();
    if (withoutIsolationClause(text).size() > text.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The stream as the connection reads it: in pieces of 1 to 16 bytes, the
    // first byte choosing the line limit.
    constexpr qsizetype kLimit = 64;
    qsizetype offset = 0;
    LineReader reader(
        [&](char* buffer, qsizetype capacity) {
            const qsizetype piece = std::min({capacity, input.size() - offset, qsizetype(1 + (offset * 7) % 16)});
            std::memcpy(buffer, input.data() + offset, size_t(piece));
            offset += piece;
            return piece;
        },
        kLimit, 4 * kLimit);
    for (int guard = 0; guard <= input.size() + 1; ++guard) {
        QByteArray line;
        const LineChannel::Read read = reader.readLine(line);
        if (read == LineChannel::Read::Closed || read == LineChannel::Read::Overflow)
            break;
        if (read == LineChannel::Read::Line) {
            if (line.size() > kLimit || line.contains('\n'))
                std::abort();
            checkLine(line);
        }
    }

    // Whole input as one line, and the scanner's own promises.
    checkLine(input);
    const LineScan scan = scanLine(input, kLimit);
    if (scan.consumed < 0 || scan.consumed > input.size() || scan.line.size() > kLimit)
        std::abort();
    return 0;
}
