#include "server/linescanner.h"

#include <cstring>

namespace lystra {

LineScan scanLine(QByteArrayView buffer, qsizetype limit)
{
    LineScan scan;
    // A line of `limit` bytes may still be followed by CR and LF.
    const qsizetype window = qMin(buffer.size(), limit + 2);
    const void* found = window > 0 ? std::memchr(buffer.data(), '\n', size_t(window)) : nullptr;
    if (found) {
        const qsizetype lf = static_cast<const char*>(found) - buffer.data();
        qsizetype length = lf;
        if (length > 0 && buffer[length - 1] == '\r')
            --length;
        scan.consumed = lf + 1;
        if (length > limit) {
            scan.status = LineScan::Status::TooLong;
            scan.ended = true;
        } else {
            scan.status = LineScan::Status::Complete;
            scan.line = buffer.first(length);
        }
        return scan;
    }
    if (buffer.size() > limit + 1) {
        // Even with a CR as the last byte seen, the line is longer than the
        // limit. Its LF may already be in the buffer beyond the window: the
        // bytes after it are the next line and must stay.
        scan.status = LineScan::Status::TooLong;
        const void* end = std::memchr(buffer.data() + window, '\n', size_t(buffer.size() - window));
        scan.ended = end != nullptr;
        scan.consumed = end ? static_cast<const char*>(end) - buffer.data() + 1 : buffer.size();
    }
    return scan;
}

} // namespace lystra
