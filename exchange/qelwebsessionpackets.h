#pragma once

// The packets of a web send of the working session (twdocenti.zip), which the web collection
// reads back by their column names: for each teacher sent, his assignments (clsmat.xml), one
// row per class, subject and pupil with the pupil's votes, proposals and taxonomies pivoted
// into numbered groups, absences, aid and note (voti.xml), the debts he verifies (debiti.xml),
// his web identity (docenti.xml) and the session (sessioni.xml); with them the levels
// (livelli.xml, livvtp.xml), the debt outcomes (esideb.xml) and the institute (istituto.xml),
// the same for every teacher.
//
//   QelWebSessionPackets packets(iAnsSesDwgId, iAnsId, flags);  // what the whole send shares
//   packets.AddTeacher(iAnaId, sDocNome, sAnaPwPert);          // his rows, kept in memory
//   const QStringList files = packets.Write(folder);            // the nine files, in order
//
// Every teacher's rows are gathered before anything is written, and each file is written once:
// appending teacher by teacher would read and write the growing voti.xml once per teacher.
// The number of groups of a kind is fixed once per send, as the larger of the distinct
// component scales of the session and the most components of one class and subject, so that
// every row's components have a group. Reads run in the caller's transaction when one is
// running (each statement then prepared once for the send). Failures raise EVxException.

#include "exchange/qelwebpackets.h"
#include "platform/sqlparams.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <vector>

// The data kinds sent, as the general parameters set them: "Vot", "Vtp", "Tas", "Ass", "Aiu",
// "Not", "Deb", each 1 or 0.
using QelWebSendFlags = QList<QPair<QString, int>>;

class QelWebSessionPackets
{
public:
    QelWebSessionPackets(int iAnsSesDwgId, int iAnsId, const QelWebSendFlags &flags);

    void AddTeacher(int iAnaId, const QString &sDocNome, const QString &sAnaPwPert);
    // Writes the nine packets into the folder (SaveOrAppendPacket, appending where the rows of
    // all teachers go) and returns their full paths, in the order written. EVxException when
    // no teacher was added.
    QStringList Write(const QString &folder);

    // The file names of the packets, in the order written.
    static QStringList FileNames();
    // Groups of the pivot of vot and vtp (index 0) and of tas (index 1).
    int Groups(int iCmpScaTass) const { return m_groups[size_t(iCmpScaTass)]; }

private:
    struct Group
    {
        QVariant iClsMatCmpId, sCmpSDesc, sCmpLDesc, iCmpScaId, iScaLivId;
    };
    struct VotiRow
    {
        QList<QVariant> base;
        std::array<QList<Group>, 3> groups; // vot, vtp, tas
        QVariant iAssOre, sAiuVal, dNotData, bNotNota;
    };

    void addVotiRows(const TVxFieldValues &teacher);
    QelGatheredPacket votiPacket() const;

    int m_iAnsSesDwgId;
    int m_iAnsId;
    QelWebSendFlags m_flags;
    int m_iSesId = 0;
    int m_iAnsSesDwgOrdine = 0;
    std::array<int, 2> m_groups{};
    QString m_seatCode;
    QString m_yearText;
    QString m_sessionText;
    int m_teachers = 0;

    QelGatheredPacket m_clsMat;
    QList<TFieldDef> m_votiBase;
    std::vector<VotiRow> m_voti;
    QelGatheredPacket m_debiti;
    QelGatheredPacket m_docenti;
    QelGatheredPacket m_sessioni;
};
