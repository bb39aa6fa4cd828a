#include "platform/formregistry.h"

#include <QMap>

namespace {

struct Registry
{
    // Keyed by the upper-case name; the value keeps the registered spelling.
    QMap<QString, QPair<QString, FormRegistry::Factory>> classes;
    QList<QPointer<QWidget>> created;
};

Registry &registry()
{
    static Registry r;
    return r;
}

const char *const kClassProperty = "vxFormClass";
const char *const kClosedProperty = "vxFormClosed";

} // namespace

void FormRegistry::registerClass(const QString &className, const Factory &factory)
{
    registry().classes.insert(className.toUpper(), {className, factory});
}

void FormRegistry::unregisterClass(const QString &className)
{
    registry().classes.remove(className.toUpper());
}

bool FormRegistry::isRegistered(const QString &className)
{
    return registry().classes.contains(className.trimmed().toUpper());
}

QString FormRegistry::registeredName(const QString &className)
{
    return registry().classes.value(className.trimmed().toUpper()).first;
}

QStringList FormRegistry::registeredNames()
{
    QStringList names;
    for (const auto &entry : std::as_const(registry().classes))
        names << entry.first;
    return names;
}

QWidget *FormRegistry::create(const QString &className, QWidget *parent)
{
    const auto found = registry().classes.constFind(className.trimmed().toUpper());
    if (found == registry().classes.constEnd())
        return nullptr;
    QWidget *window = found->second(parent);
    if (!window)
        return nullptr;
    window->setProperty(kClassProperty, found->first);
    auto &created = registry().created;
    created.removeAll(QPointer<QWidget>());
    created.append(window);
    return window;
}

QList<QWidget *> FormRegistry::instances(const QString &className)
{
    const QString key = className.trimmed().toUpper();
    QList<QWidget *> result;
    for (const QPointer<QWidget> &window : std::as_const(registry().created)) {
        // A closed window waits for its deferred deletion: it no longer counts.
        if (window && !window->property(kClosedProperty).toBool() &&
            window->property(kClassProperty).toString().toUpper() == key)
            result.append(window);
    }
    return result;
}

QString FormRegistry::classOf(const QWidget *window)
{
    return window ? window->property(kClassProperty).toString() : QString();
}

void FormRegistry::markClosed(QWidget *window)
{
    if (window)
        window->setProperty(kClosedProperty, true);
}
