#pragma once

#include <QString>

#include <exception>

namespace lystra {

// Base of every failure the program reports. A failure is an exception that
// carries the exact message the user or caller is meant to see; what() gives
// the same text in UTF-8 for logs and std::exception handlers.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    ~Exception() override;

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};

// A text that does not convert to the number, date or boolean it should hold.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace lystra
