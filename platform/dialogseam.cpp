#include "platform/dialogseam.h"

namespace {

struct SeamState
{
    bool scripted = false;
    QList<QVariant> answers;
    QList<DialogSeam::Shown> shown;
};

SeamState &state()
{
    static SeamState s;
    return s;
}

} // namespace

bool DialogSeam::scripted()
{
    return state().scripted;
}

void DialogSeam::setScripted(bool on)
{
    state() = SeamState{};
    state().scripted = on;
}

void DialogSeam::queueAnswer(const QVariant &answer)
{
    state().answers.append(answer);
}

bool DialogSeam::hasAnswer()
{
    return !state().answers.isEmpty();
}

QVariant DialogSeam::takeAnswer()
{
    return state().answers.isEmpty() ? QVariant() : state().answers.takeFirst();
}

QVariant DialogSeam::peekAnswer()
{
    return state().answers.isEmpty() ? QVariant() : state().answers.first();
}

void DialogSeam::queueModalScript(const ModalScript &script)
{
    state().answers.append(QVariant::fromValue(script));
}

bool DialogSeam::nextIsModalScript()
{
    return !state().answers.isEmpty() && state().answers.first().canConvert<ModalScript>() &&
           state().answers.first().metaType() == QMetaType::fromType<ModalScript>();
}

DialogSeam::ModalScript DialogSeam::takeModalScript()
{
    if (!nextIsModalScript())
        return {};
    return state().answers.takeFirst().value<ModalScript>();
}

void DialogSeam::record(const QString &kind, const QString &text, const QString &detail,
                        const QString &technical)
{
    state().shown.append({kind, text, detail, technical});
}

QList<DialogSeam::Shown> DialogSeam::shown()
{
    return state().shown;
}

QStringList DialogSeam::shownTexts()
{
    QStringList texts;
    for (const Shown &s : std::as_const(state().shown))
        texts << s.text;
    return texts;
}

void DialogSeam::clearShown()
{
    state().shown.clear();
}
