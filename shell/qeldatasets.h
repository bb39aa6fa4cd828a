#pragma once

#include "platform/querycollection.h"

#include <QObject>

// The program's connection module: it opens and closes the one database connection and
// owns the query collections behind the lookup-table editors.
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

private:
    void DataModuleCreate();

    int LastDedId = 0;
    int LastDtdId = 0;
    int m_openCount = 0;
};

extern TdmqelDataSets *dmqelDataSets;
