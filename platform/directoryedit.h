#pragma once

// TVxDirectoryEdit: a folder field, typed or chosen with its button through the program's
// folder chooser (VxSelectDirectory, so that scripted runs answer it). A cancelled chooser
// leaves the text as it was. The text is kept as the office typed or chose it: stored Windows
// paths ("\\server\scambio\") stay as they are until the caller reads them.

#include <QWidget>

class QLineEdit;
class QToolButton;

class TVxDirectoryEdit : public QWidget
{
    Q_OBJECT
public:
    // The caption is the chooser's title.
    explicit TVxDirectoryEdit(const QString &caption = {}, QWidget *parent = nullptr);

    QString Text() const;
    void SetText(const QString &text);

    QLineEdit *edit() const { return m_edit; }
    QToolButton *browseButton() const { return m_browse; }

    // Opens the chooser on the folder shown; the chosen folder replaces the text.
    void Browse();

private:
    QString m_caption;
    QLineEdit *m_edit;
    QToolButton *m_browse;
};
