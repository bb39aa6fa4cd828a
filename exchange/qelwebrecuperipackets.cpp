#include "exchange/qelwebrecuperipackets.h"

#include "exchange/qelwebrecuperisql.h"
#include "exchange/qelwebsendsql.h"
#include "platform/sqlclientdataset.h"
#include "platform/vxexception.h"

QStringList QelWebMakeUpPackets::FileNames()
{
    return {QStringLiteral("recuperi.xml"), QStringLiteral("frerec.xml"),
            QStringLiteral("tiprec.xml"),   QStringLiteral("prvrec.xml"),
            QStringLiteral("esirec.xml"),   QStringLiteral("istituto.xml")};
}

void QelWebMakeUpPackets::AddTeacher(int iAnaId)
{
    TSQLClientDataSet ds;
    ds.setCommandText(QelWebRecuperiSql::recuperi());
    ds.Params() = valuesOf({{"iFreId", m_iFreId}, {"iAnaId", iAnaId}, {"iAnsId", m_iAnsId}});
    ds.Open();
    m_recuperi.add(ds);
    ++m_teachers;
}

QStringList QelWebMakeUpPackets::Write(const QString &folder)
{
    if (m_teachers == 0)
        throw EVxException(QStringLiteral("Nessun docente selezionato."), EVxException::Warning);
    const QStringList names = FileNames();
    QStringList files;
    TClientDataSet packet;
    m_recuperi.toDataSet(packet);
    files << SaveOrAppendPacket(packet, folder, names.at(0), true);
    files << SaveQueryPacket(QelWebRecuperiSql::phases(), valuesOf({{"iAnsId", m_iAnsId}}), folder,
                             names.at(1));
    files << SaveQueryPacket(QelWebRecuperiSql::tipRec(), {}, folder, names.at(2));
    files << SaveQueryPacket(QelWebRecuperiSql::prvRec(), {}, folder, names.at(3));
    files << SaveQueryPacket(QelWebRecuperiSql::esiRec(), {}, folder, names.at(4));
    files << SaveQueryPacket(QelWebSendSql::istituto(), {}, folder, names.at(5));
    return files;
}
