#pragma once

#include "platform/enumvalues.h"
#include "platform/querycollection.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// A teacher of a send mode, as the web exchange lists them.
struct QelWebTeacher
{
    int iAnaId = 0;
    QString surname;
    QString name;
};

// The program's connection module: it opens and closes the one database connection, owns the
// query collections behind the lookup-table editors and holds the shell's own statements. The
// statement functions read through the shared connection and throw EVxException with the
// driver's text. The suite's framework base of this module, TdmVxConnection, is the
// connection of platform/connection.h.
class TdmqelDataSets : public QObject
{
    Q_OBJECT
public:
    explicit TdmqelDataSets(QObject *owner = nullptr);
    ~TdmqelDataSets() override;

    // Opens the shared connection from the connection settings; false (after telling the
    // user why) when it cannot. Opening an open connection does nothing.
    bool OpenConnection();
    void CloseConnection();
    // How many times the connection was actually opened (a second activation must not).
    int openCount() const { return m_openCount; }

    TVxQueryCollection xqcBnd_Bande;
    TVxQueryCollection xqcEnc_Encomio;
    TVxQueryCollection xqcFrm_Formativi;
    TVxQueryCollection xqcSco_Scolastici;
    TVxQueryCollection xqcDesDed;
    TVxQueryCollection xqcDtpDtd;

    // The start year (iAnsValore) of a school-year key; none when no year has that key.
    static std::optional<int> YearStart(int iAnsId);
    // The description of a year-session; empty when there is none.
    static QString SessionDescription(int iAnsSesDwgId);
    // The session number (iSesId) of a year-session: the web service knows a session by it,
    // not by the year-session's key. None when the year-session does not exist.
    static std::optional<int> SessionNumber(int iAnsSesDwgId);
    // The sessions of an institute's year, in the year's session order.
    static TVxEnumItems YearSessions(int iDwgId, int iAnsId);
    // The teachers of send mode 4 (web) of a session, in name order.
    static QList<QelWebTeacher> WebTeachers(int iAnsSesDwgId);
    // The suite's code of the school itself (the site without an institute); empty when the
    // school has none.
    static QString SchoolSiteCode();
    // The ministry code of the school's open main seat (the first by link key, should there be
    // several); none when there is no such seat, empty when its code is.
    static std::optional<QString> MainSeatMecCode();
    // The lists of the lookup editors' search forms ("##WHERE##" is the search's condition).
    static QString AnniCorsoListSQL();
    static QString DebEsitoListSQL();
    static QString DebTipoListSQL();

private:
    void DataModuleCreate();

    int LastDedId = 0;
    int LastDtdId = 0;
    int m_openCount = 0;
};

extern TdmqelDataSets *dmqelDataSets;
