#pragma once

#include "server/session.h"

#include <QString>

namespace lystra {

// A command that cannot be carried out: answered with `code` and the
// message, and the session goes on.
struct Session::Failure {
    int code;
    QString message;
};

// Most rows one "get" block carries, whatever count the client asks for.
inline constexpr int kMaxRowsPerBlock = 100000;
// Field-definition documents up to this size travel inline in the reply to
// the statement, longer ones in a block after "info ".
inline constexpr qsizetype kInlineDocumentLimit = 4096;

} // namespace lystra
