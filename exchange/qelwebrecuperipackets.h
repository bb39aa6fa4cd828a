#pragma once

// The packets of a web send of make-up data (twrecuperi.zip): the make-up rows of one phase
// for the pupils of each teacher's classes and subjects (recuperi.xml, a row for every teacher
// of the class and subject), with the lookups the web application needs: the year's phases
// (frerec.xml), make-up kinds (tiprec.xml), test kinds (prvrec.xml), outcomes (esirec.xml) and
// the institute (istituto.xml).
//
//   QelWebMakeUpPackets packets(iFreId, iAnsId);
//   packets.AddTeacher(iAnaId);                   // his rows, kept in memory
//   const QStringList files = packets.Write(folder);
//
// Every teacher's rows are gathered and each file written once, in the teachers' order; a
// teacher without rows adds none. Reads run in the caller's transaction when one is running.
// Failures raise EVxException.

#include "exchange/qelwebpackets.h"

#include <QString>
#include <QStringList>

class QelWebMakeUpPackets
{
public:
    QelWebMakeUpPackets(int iFreId, int iAnsId) : m_iFreId(iFreId), m_iAnsId(iAnsId) {}

    void AddTeacher(int iAnaId);
    // Writes the six packets into the folder and returns their full paths, in the order
    // written. EVxException when no teacher was added.
    QStringList Write(const QString &folder);

    // The file names of the packets, in the order written.
    static QStringList FileNames();

private:
    int m_iFreId;
    int m_iAnsId;
    int m_teachers = 0;
    QelGatheredPacket m_recuperi;
};
