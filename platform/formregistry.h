#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

// Every window class of the program registers itself here by its class name; the command
// framework creates windows by that name, matched without regard to case
// ("TfmQelDocParams" creates TfmqelDocParams).
//
// Registration: a static library drops object files that nothing references, so each
// folder keeps one function that registers its windows (e.g. registerShellForms()), called
// at start-up and by tests; TAVRIN_REGISTER_FORM inside it registers one class.
class FormRegistry
{
public:
    using Factory = std::function<QWidget *(QWidget *parent)>;

    static void registerClass(const QString &className, const Factory &factory);
    static void unregisterClass(const QString &className);
    static bool isRegistered(const QString &className);
    // The registered spelling of a class name given in any letter case; empty when unknown.
    static QString registeredName(const QString &className);
    static QStringList registeredNames();

    // Creates a window of the class; nullptr when the class is not registered. The window
    // is remembered as an instance of the class until it is destroyed.
    static QWidget *create(const QString &className, QWidget *parent = nullptr);

    // The living windows created for the class (any letter case), oldest first.
    static QList<QWidget *> instances(const QString &className);
    // A window that closed for good (and awaits deletion) stops counting as an instance.
    static void markClosed(QWidget *window);
    // The registered class name a created window was made from; empty for other widgets.
    static QString classOf(const QWidget *window);
};

#define TAVRIN_REGISTER_FORM(Class)                                                                \
    FormRegistry::registerClass(QStringLiteral(#Class),                                            \
                                [](QWidget *parent) -> QWidget * { return new Class(parent); })
