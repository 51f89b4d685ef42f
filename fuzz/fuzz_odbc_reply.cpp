// Reply lines, reply syntax and block headers of the gateway protocol, fed
// with arbitrary server bytes: every reply is taken off the stream the way
// the client's reader does, and the counts must stay inside the input.
#include "odbc/odbcprotocol.h"

#include <cstdint>
#include <cstdlib>

using namespace lystra::odbc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    qsizetype pos = 0;
    while (pos < input.size()) {
        const ReplyParse parsed = parseReply(input.sliced(pos));
        if (parsed.status == ParseStatus::NeedMore)
            break;
        if (parsed.consumed <= 0 || parsed.consumed > input.size() - pos)
            std::abort();
        (void)parsed.reply.replyString();
        pos += parsed.consumed;
        if (const auto length = parseBlockLength(input.sliced(pos))) {
            const qsizetype available = input.size() - pos - kBlockHeaderSize;
            if (static_cast<qsizetype>(*length) <= available)
                pos += kBlockHeaderSize + static_cast<qsizetype>(*length);
        }
    }

    // The same bytes line by line with a resumed scan, as they arrive in pieces.
    qsizetype start = 0;
    qsizetype scanned = 0;
    for (qsizetype end = 0; end <= input.size(); end += 7) {
        const LineParse line = parseLine(input.sliced(start, qMin(end, input.size()) - start), scanned);
        if (line.status == ParseStatus::Complete) {
            if (line.consumed <= 0 || line.line.size() >= line.consumed)
                std::abort();
            start += line.consumed;
            scanned = 0;
        } else {
            scanned = qMin(end, input.size()) - start;
        }
    }
    return 0;
}
