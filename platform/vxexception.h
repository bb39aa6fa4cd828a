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
        : std::runtime_error(message.toStdString()), m_message(message), m_severity(severity)
    {
    }

    QString message() const { return m_message; }
    Severity severity() const { return m_severity; }

private:
    QString m_message;
    Severity m_severity;
};

// Runs the work and returns what it returns; an EVxException it raises is raised again with the
// office's words in front: "what", a blank line, then the reason (the driver's text, a file's
// error). The one way a layer says what it was doing when the database or a file refused.
template <typename Work> auto VxExplain(const QString &what, Work &&work) -> decltype(work())
{
    try {
        return work();
    } catch (const EVxException &e) {
        throw EVxException(what + QStringLiteral("\r\r") + e.message(), e.severity());
    }
}
