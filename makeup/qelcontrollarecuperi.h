#pragma once

#include "platform/sqlparams.h"
#include "shell/qelduplicatecheck.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// One make-up record of a duplicate group, as the correction dialog lists it.
struct RecuperoDoppio
{
    int iRecId = 0;
    QString Classe;
    QString Alunno;
    int iAnaId = 0;
    QString Materia;
    int iMatId = 0;
    QString TipoRec; // empty for a record without a make-up type
    QString FaseRec;
    // Every column of the record as read, which a deletion compares (platform/savecheck.h).
    TVxFieldValues colonne;
};

// Finds and removes duplicate make-up records: two or more TRec_Recuperi rows for the same
// phase, pupil situation and subject in the working school year. Sends and collections run
// the check before and after they move make-up data, because a duplicate would be sent
// twice or shadow the record the teacher meant.
class TdmQelControllaRecuperi : public QObject, public QelDuplicateCheck
{
    Q_OBJECT
public:
    // An empty connection name means the program's shared connection.
    explicit TdmQelControllaRecuperi(QObject *owner = nullptr,
                                     const QString &connectionName = QString());
    ~TdmQelControllaRecuperi() override;

    // True when the working school year has at least one duplicate group.
    // A year that is not set or not a number has none.
    bool HasRecuperiDoppi() override;
    QList<QelDuplicateGroup> DuplicateGroups() override;
    // The correction dialog over this module, modal; its result.
    int ShowCorrectionDialog(QWidget *owner) override;

    // Refills the list of duplicate rows (every row of every group, the first included);
    // true when there is at least one.
    bool CaricaRecuperiDoppi();
    const QList<RecuperoDoppio> &cdsErrori() const { return m_errori; }

    // Deletes the records named by the texts, in order; a text that is not a positive
    // number is skipped. All or none: at the first failure nothing stays deleted and the
    // answer is false, with the reason in LastError() for the caller's one message. A record
    // listed by CaricaRecuperiDoppi goes only while it still holds what was read (compared in
    // the deletion's transaction): one another office changed since is such a failure, named.
    bool CancellaRecuperi(const QStringList &ids);
    QString LastError() const { return m_lastError; }

    // The working year as the check reads it: 0 when unset or not a number.
    static int workingYear();

private:
    QSqlDatabase connection() const;

    QString m_connectionName;
    QList<RecuperoDoppio> m_errori;
    QString m_lastError;
};

// The single instance, created seventh at start-up.
extern TdmQelControllaRecuperi *dmQelControllaRecuperi;

// Gives the program's start-up the make-up windows and the duplicate check module.
void installMakeupParts();
