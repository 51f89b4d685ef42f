#pragma once

#include "platform/exception.h"

#include <QByteArray>

namespace lystra {

// Protocol and connection failures of the gateway client.
class EODBCError : public Exception {
public:
    using Exception::Exception;
};

// A socket failure during an exchange (refused, reset, unreachable ...). The
// connection is unusable afterwards; the retrying commands reconnect on it.
class ESocketError : public EODBCError {
public:
    using EODBCError::EODBCError;
};

// The server closed the connection while the client was waiting for bytes
// (also: a block or line cut short by the close). Distinct from ESocketError
// because some commands retry only on the latter.
class EConnectionClosed : public EODBCError {
public:
    EConnectionClosed();
};

// A reply whose code the command does not admit. Carries the reply string
// (every reply line without its code, each followed by CR LF) as wire text;
// the message is that text decoded from the host code page.
class EReplyError : public Exception {
public:
    EReplyError(int code, QByteArray replyString);

    int code() const noexcept { return m_code; }
    const QByteArray& replyString() const noexcept { return m_replyString; }

private:
    int m_code;
    QByteArray m_replyString;
};

// A field-definition document that breaks the element rules.
class EXMLParseException : public Exception {
public:
    using Exception::Exception;
};

} // namespace lystra
