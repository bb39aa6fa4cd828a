#pragma once

#include <QDialog>
#include <QString>

// The window of a function whose part of the program is not in this version: one class,
// registered under the name of every missing window, so that every command opens something
// that tells the office plainly instead of failing.
class TfmqelNonDisponibile : public QDialog
{
    Q_OBJECT
public:
    explicit TfmqelNonDisponibile(const QString &className, QWidget *parent = nullptr);

    QString missingClass() const { return m_className; }

private:
    QString m_className;
};

// Registers the placeholder under every missing window class that no real window has
// claimed yet, and the shell's own windows (lookup editors, the correction dialog).
void registerShellForms();
