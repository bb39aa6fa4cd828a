#pragma once

#include <QDialog>
#include <QString>

// The one window of every command that has none yet: registered under the name of every
// missing window class, and opened by the commands without a window class of their own (the
// reports, the communication settings). It takes the command's caption as its title and says
// either that the function is not in this version of Tavrin, or, for the packages of the suite
// that are not part of Tavrin (session configuration, signatures, translations, communication),
// that another program of the suite offers it.
class TfmqelNonDisponibile : public QDialog
{
    Q_OBJECT
public:
    explicit TfmqelNonDisponibile(const QString &className, QWidget *parent = nullptr);

    QString missingClass() const { return m_className; }
    bool belongsToAnotherProgram() const;

private:
    QString m_className;
};

// Opens the placeholder, modally, for a command without a window class: titled with the
// command's caption; className names the other program's window it stands for, if any.
void showPlaceholder(const QString &caption, const QString &className = QString());

// Registers the placeholder under every missing window class that no real window has
// claimed yet, and the shell's own windows (the lookup-table editors).
void registerShellForms();
