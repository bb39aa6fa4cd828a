#pragma once

// What the teachers do on the web service between a session's send and its collection, for
// TavrinWebTestServer: the session's export is built from the institute's last upload of
// carica.php, with the teachers' edits applied to its voti.xml and debiti.xml, and the class
// notes, which only the service writes, in classenote.xml under the session number the export
// was asked for (codsessione).
//
//   TavrinWebTeacherEdits edits;
//   edits.level(iDocId, iSitId, iClsSesMatId, "vtp", iClsMatCmpId, iScaLivId);
//   edits.value(iDocId, iSitId, iClsSesMatId, "iAssOre", 4);   // sAiuVal, dNotData, bNotNota
//   edits.debt(iDocId, iSitId, iMatId, iDesDedId, "nota");
//   edits.classNote(iDocId, iClsId, iMatId, 2, "testo");
//   edits.installOn(server);                                    // the edits as they are now
//
// An edit whose row the upload does not hold fails the running test. The download keeps the
// server's fault switches (setFault on "scarica.php", setArchiveFault); an archive without
// voti.xml is the server's setDownload.

#include <QList>
#include <QString>
#include <QVariant>

class TavrinWebTestServer;

class TavrinWebTeacherEdits
{
public:
    // A proposed vote ("vtp") or taxonomy ("tas") level of one component of a voti.xml row.
    void level(int iDocId, int iSitId, int iClsSesMatId, const QString &kind, int iClsMatCmpId,
               const QVariant &level);
    // A column of a voti.xml row: iAssOre, sAiuVal, dNotData ("dd/mm/yyyy"), bNotNota.
    void value(int iDocId, int iSitId, int iClsSesMatId, const QString &column,
               const QVariant &value);
    // A debt's outcome and note in debiti.xml.
    void debt(int iDocId, int iSitId, int iMatId, const QVariant &iDesDedId, const QVariant &note);
    void classNote(int iDocId, int iClsId, int iMatId, const QVariant &hours, const QVariant &text);
    void installOn(TavrinWebTestServer &server) const;

    struct Edit
    {
        QString packet;
        QString keys;
        QVariantList key;
        QString column; // empty: the level of the component of that kind
        QVariant value;
        QString kind;
        int component = 0;
    };

private:
    QList<Edit> m_edits;
    QList<QVariantList> m_classNotes;
};
