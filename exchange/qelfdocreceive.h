#pragma once

// "Raccolta": binary teacher folders (qeldocfolder.h) come back into the database. Page
// "Singolo" collects the current teacher's folder (the folder field, the ticked classes) once
// its qedInfo.ini names that teacher, and marks him received; page "Classe" collects, for the
// selected classes, the folder of every network-folder teacher who has them, with the log
// "Docenti importati", and marks nobody. No command opens it: it is created by its class name.
//
// A collection that meets an error (a value the database refuses or outside the teacher's
// classes, a transaction that does not start, a missing packet) ends with it; what was written
// before stays, and the teacher is not marked.

#include "platform/dialogs.h"

#include <QString>

class QTabWidget;
class TfrqelDocReceiveCls;
class TfrqelDocReceiveSingle;

class TfmqelDocReceive : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelDocReceive(QWidget *owner = nullptr);
    ~TfmqelDocReceive() override;

    QTabWidget *pcTipologia() const { return m_pages; }
    QWidget *tsSingleDoc() const { return m_singlePage; }
    QWidget *tsClasse() const { return m_classPage; }
    TfrqelDocReceiveSingle *frqelDocReceiveSingle_fm() const { return m_single; }
    TfrqelDocReceiveCls *frqelDocReceiveClasse_fm() const { return m_classes; }

    void FormShow();
    void FormClose();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void OkClick() override;

private:
    void CollectSingle();
    void CollectByClass();

    QTabWidget *m_pages;
    QWidget *m_singlePage;
    QWidget *m_classPage;
    TfrqelDocReceiveSingle *m_single;
    TfrqelDocReceiveCls *m_classes;
    bool m_shown = false;
    int m_iAnsSesDwgId = 0;
    int m_iAnsId = 0;
};
