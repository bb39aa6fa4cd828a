#include "makeup/qelrgrigliarec.h"

#include "gradeentry/qevutil.h"
#include "platform/connection.h"

TfrQelGrigliaRec::TfrQelGrigliaRec(QWidget *parent)
    : TfrQevGrigliaRec(parent), m_data(qqoVxGlobConn())
{
    setObjectName(QStringLiteral("frQelGrigliaRec1"));
}

void TfrQelGrigliaRec::ImpostaColonne()
{
    TVxStringGrid *grid = dbgRec();
    grid->setColWidths(0, 150);
    for (int c = 1; c < grid->ColCount(); ++c)
        grid->setColWidths(c, 70);
    grid->setFixedCols(grid->ColCount() > 1 ? 1 : 0);
}

void TfrQelGrigliaRec::CaricaGriglia()
{
    SetAnsIdMedia(m_classe.iAnsId);
    const MakeupGrid grid =
        m_data.grid(m_classe, m_freId, MakeupPupilList::Assignment, MakeupGradeKind(TipoVoto()));
    m_titoli.clear();
    m_righe.clear();
    for (const MakeupSubject &s : grid.subjects)
        m_titoli << s.sMatSDesc;
    for (const MakeupPupil &p : grid.pupils) {
        Riga riga;
        riga.iSitId = p.iSitId;
        riga.label = p.label;
        for (const MakeupSubject &s : grid.subjects) {
            const MakeupCell key(p.iSitId, s.iMatId);
            auto cell = std::make_shared<TqevCellaRec>();
            cell->iMatId = s.iMatId;
            if (const auto found = grid.records.constFind(key); found != grid.records.constEnd()) {
                cell->iRecId = found->iRecId;
                cell->iPesoRec = found->iTrePeso;
            }
            riga.celle << cell;
            riga.testi << grid.gradeTexts.value(key);
        }
        m_righe << riga;
    }
    TfrQevGrigliaRec::CaricaGriglia();
}

void TfrQelGrigliaRec::RicaricaCella(int iSitId, int iMatId)
{
    TqevCellaRec *cell = Cella(iSitId, iMatId);
    if (!cell)
        return;
    const std::optional<MakeupRecord> record =
        m_data.cellRecord(m_classe.iAnsId, m_freId, iSitId, iMatId);
    cell->iRecId = record ? record->iRecId : 0;
    cell->iPesoRec = record ? record->iTrePeso : 0;
    dbgRec()->Invalidate();
    if (SitId() == iSitId && MatId() == iMatId)
        SeguiCellaCorrente();
}
