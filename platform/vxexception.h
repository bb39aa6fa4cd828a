#pragma once

#include <QString>

#include <stdexcept>

// The one exception of expected failures: a message meant for the office, shown once by the
// window or command that started the work. Programming errors are asserted instead.
//
// The detail is for the technician (the engine's own text behind a refusal the message already
// tells in the office's words); the message box offers it on request. An exception with a
// detail is one whose message is complete as it stands.
class EVxException : public std::runtime_error
{
public:
    enum Severity { Information, Warning, Error };

    explicit EVxException(const QString &message, Severity severity = Error,
                          const QString &detail = QString())
        : std::runtime_error(message.toStdString()), m_message(message), m_severity(severity),
          m_detail(detail)
    {
    }

    // A refusal the office can only be told in general words ("Il database ha rifiutato
    // l'operazione."), the engine's or the network's own text in the detail: what was being done
    // (VxExplain) goes in front of the message, where the office reads it.
    static EVxException general(const QString &message, const QString &detail)
    {
        EVxException e(message, Error, detail);
        e.m_general = true;
        return e;
    }

    QString message() const { return m_message; }
    Severity severity() const { return m_severity; }
    QString detail() const { return m_detail; }
    bool isGeneral() const { return m_general; }

private:
    QString m_message;
    Severity m_severity;
    QString m_detail;
    bool m_general = false;
};

// The office ended the work with "Annulla": told as information, never as a failure, and never
// dressed as another error by a layer that explains its own failures.
class EVxCancelled : public EVxException
{
public:
    EVxCancelled() : EVxException(QStringLiteral("Procedura annullata dall'utente."), Information)
    {
    }
};

// Runs the work and returns what it returns; an EVxException it raises is raised again with the
// office's words in front: "what", a blank line, then the reason (the driver's text, a file's
// error). The one way a layer says what it was doing when the database or a file refused. A
// reason already told in the office's words ("La voce è in uso...") keeps its message; "what"
// then goes in front of its detail, for the technician. A general refusal keeps its detail.
template <typename Work> auto VxExplain(const QString &what, Work &&work) -> decltype(work())
{
    try {
        return work();
    } catch (const EVxCancelled &) {
        throw;
    } catch (const EVxException &e) {
        if (e.isGeneral())
            throw EVxException::general(what + QStringLiteral("\r\r") + e.message(), e.detail());
        if (!e.detail().isEmpty())
            throw EVxException(e.message(), e.severity(),
                               what + QStringLiteral("\r\r") + e.detail());
        throw EVxException(what + QStringLiteral("\r\r") + e.message(), e.severity());
    }
}
