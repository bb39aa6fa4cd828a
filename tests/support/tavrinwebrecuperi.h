#pragma once

// What the teachers enter on the web service for the make-up courses of a phase, for
// TavrinWebTestServer: the export asked on "RichiestaExportRec.php" is built from the
// institute's last upload of "caricarec.php", with the outcome, verification date and test
// kind scripted per row of its recuperi.xml, and only the rows of the phase asked for
// (codsessionerecupero), as the service answers.
//
//   TavrinWebMakeUpResults results;
//   results.result(iDocId, iSitId, iMatId, iEreId, QDate(2009, 7, 10), iPrvId);  // null clears
//   results.set(iDocId, iSitId, iMatId, "iClsId", otherClass);                 // any column
//   results.withoutPacket();                    // the export holds no recuperi.xml
//   results.rewritePacket(f);                   // its bytes as f makes them
//   results.installOn(server);                  // the script as it is now
//
// A scripted row that the upload does not hold fails the running test. The download keeps
// the server's fault switches (setFault on "scarica.php", setArchiveFault).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class TavrinWebTestServer;

class TavrinWebMakeUpResults
{
public:
    void result(int iDocId, int iSitId, int iMatId, const QVariant &iEreId, const QVariant &dRecVer,
                const QVariant &iPrvId);
    void set(int iDocId, int iSitId, int iMatId, const QString &column, const QVariant &value);
    void withoutPacket() { m_withoutPacket = true; }
    // The packet's bytes, as the service would send them, changed by the function.
    void rewritePacket(const std::function<QByteArray(const QByteArray &)> &rewrite)
    {
        m_rewrite = rewrite;
    }
    void installOn(TavrinWebTestServer &server) const;

    struct Edit
    {
        QVariantList key; // iDocId, iSitId, iMatId
        QString column;
        QVariant value;
    };

private:
    QList<Edit> m_edits;
    bool m_withoutPacket = false;
    std::function<QByteArray(const QByteArray &)> m_rewrite;
};
