#pragma once

#include <QString>

#include <stdexcept>

// The one exception of expected failures: a message meant for the office, shown once by the
// window or command that started the work. Programming errors are asserted instead.
class EVxException : public std::runtime_error
{
public:
    enum Severity { Information, Warning, Error };

    explicit EVxException(const QString &message, Severity severity = Error)
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_severity(severity)
    {
    }

    QString message() const { return m_message; }
    Severity severity() const { return m_severity; }

private:
    QString m_message;
    Severity m_severity;
};
