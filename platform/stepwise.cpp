#include "platform/stepwise.h"

#include "platform/engineerrors.h"

namespace {

// A run over whole classes may have written hundreds of pupils: the message names the first
// ones and counts the rest; running again goes on from where it stopped whatever the list says.
constexpr qsizetype kNamesShown = 10;

QString namesOf(const QStringList &names)
{
    if (names.size() == 1)
        return names.first();
    if (names.size() > kNamesShown)
        return QStringLiteral("%1 e altri %2")
            .arg(names.first(kNamesShown).join(QStringLiteral(", ")))
            .arg(names.size() - kNamesShown);
    return names.first(names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") +
           names.last();
}

} // namespace

TVxStepwiseRun::TVxStepwiseRun(TVxStepwiseWords words) : m_words(std::move(words)) {}

void TVxStepwiseRun::Step(const QString &name, const std::function<bool()> &work)
{
    bool wrote = false;
    try {
        wrote = work();
    } catch (const EVxCancelled &) {
        throw;
    } catch (const EVxException &e) {
        throw Stopped(name, e);
    } catch (const std::exception &e) {
        throw Stopped(name, EVxException(QString::fromUtf8(e.what())));
    }
    if (wrote)
        m_done << name;
}

EVxException TVxStepwiseRun::Stopped(const QString &name, const EVxException &cause) const
{
    const QString head = m_words.interrotto.arg(name) + QStringLiteral(": ") +
                         (m_done.isEmpty() ? m_words.nessuno : m_words.fatti.arg(namesOf(m_done))) +
                         QStringLiteral("; rieseguire il comando per completare.\r\r");
    // The refusal after "Attendere ancora?" says the save was cancelled: here only the stopped
    // step was, which the head already says.
    if (isLockWaitRefused(cause))
        return EVxException(head + QStringLiteral("I dati sono bloccati da un'altra postazione o "
                                                  "da un altro programma: se il blocco resta, "
                                                  "chiudere il programma che li tiene aperti "
                                                  "sulle altre postazioni."),
                            EVxException::Warning);
    if (cause.isGeneral())
        return EVxException::general(head + cause.message(), cause.detail());
    return EVxException(head + cause.message(), cause.severity(), cause.detail());
}
