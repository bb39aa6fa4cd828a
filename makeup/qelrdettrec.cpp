#include "makeup/qelrdettrec.h"

#include "platform/connection.h"
#include "platform/dateedit.h"
#include "platform/images.h"
#include "platform/messagedlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

void fill(QComboBox *combo, const TVxEnumItems &items)
{
    combo->clear();
    for (const TVxEnumItem &item : items)
        combo->addItem(item.text, item.id);
    combo->setCurrentIndex(-1);
}

int selectedId(const QComboBox *combo)
{
    return combo->currentIndex() < 0 ? 0 : combo->currentData().toInt();
}

void selectId(QComboBox *combo, int id)
{
    combo->setCurrentIndex(id > 0 ? combo->findData(id) : -1);
}

} // namespace

TfrQelDettRec::TfrQelDettRec(QWidget *parent) : TfrQevDettRec(parent), m_data(qqoVxGlobConn())
{
    setObjectName(QStringLiteral("frQelDettRec1"));
    auto *image = new QLabel(this);
    image->setPixmap(VxImage(QStringLiteral("VXHELP")).pixmap(16, 16));
    auto *hint = new QLabel(QStringLiteral("Utilizzare il tastierino numerico per assegnare i "
                                           "recuperi."),
                            this);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
    auto *line = new QHBoxLayout;
    line->addWidget(image);
    line->addWidget(hint, 1);
    fields()->addLayout(line, 2, 0, 1, 5);

    // Choosing a type saves nothing: it is the type the next digit or click assigns.
    connect(cboEsito(), &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            RunShowingErrors([this] { SegnaModifica(); });
    });
    for (TVxDateEdit *edit : {deAssegna(), deVerifica()})
        connect(edit, &TVxDateEdit::datePicked, this,
                [this] { RunShowingErrors([this] { SegnaModifica(); }); });
}

void TfrQelDettRec::SegnaModifica()
{
    if (RecId() > 0)
        AssegnaRecupero();
}

void TfrQelDettRec::Inizializza()
{
    TfrQevDettRec::Inizializza();
    m_loading = true;
    try {
        fill(cboTipo(), m_data.types());
        fill(cboEsito(), m_data.outcomes());
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
    CaricaRecupero(RecId());
}

void TfrQelDettRec::CaricaRecupero(int iRecId)
{
    const std::optional<MakeupRecord> record =
        iRecId > 0 ? m_data.record(iRecId) : std::optional<MakeupRecord>();
    m_loading = true;
    selectId(cboTipo(), record ? record->iTreId : 0);
    selectId(cboEsito(), record ? record->iEreId : 0);
    deAssegna()->SetDate(record ? record->dRecAttr : QDate());
    deVerifica()->SetDate(record ? record->dRecVer : QDate());
    m_loading = false;
}

bool TfrQelDettRec::SelezionaTipoDaPeso(int weight)
{
    const int iTreId = m_data.firstTypeOfWeight(weight);
    const int index = iTreId > 0 ? cboTipo()->findData(iTreId) : -1;
    if (index >= 0)
        cboTipo()->setCurrentIndex(index);
    return TipoTrovato(index >= 0);
}

MakeupRecord TfrQelDettRec::choices() const
{
    MakeupRecord r;
    r.iRecId = RecId();
    r.iTreId = selectedId(cboTipo());
    r.iEreId = selectedId(cboEsito());
    r.iMatId = MatId();
    r.iSitId = SitId();
    r.iAnsFreDwgId = AnsFreDwgId();
    r.dRecAttr = deAssegna()->Date();
    r.dRecVer = deVerifica()->Date();
    return r;
}

void TfrQelDettRec::AssegnaRecupero()
{
    if (cboTipo()->currentIndex() < 0) {
        VxMessageDlg(QStringLiteral("Impossibile assegnare un recupero. Selezionare prima il "
                                    "tipo corrispondente!"),
                     mtInformation, mbOK);
        return;
    }
    if (RecId() < 0)
        return;
    MakeupRecord record = choices();
    if (RecId() == 0) {
        // A grid opened before another office assigned this cell would otherwise make a
        // second record for it: the cell is looked up again in the insert's transaction.
        const std::optional<MakeupRecord> found =
            m_data.insertUnlessPresent(record, m_iAnsId, m_iFreId);
        if (!found) {
            written(record.iRecId);
            return;
        }
        SetRecId(found->iRecId);
        SetPeso(found->iTrePeso);
        emit recuperoScritto(SitId(), MatId(), found->iRecId, found->iTrePeso);
        record.iRecId = found->iRecId;
    }
    if (VxMessageDlg(QStringLiteral("Recupero già assegnato. Cambiare il tipo di recupero?"),
                     mtInformation, mbYesNo, 0, mrNo) != mrYes)
        return;
    if (m_data.update(record) == 0) {
        VxMessageDlg(QStringLiteral("Il recupero non esiste più: è stato cancellato da un'altra "
                                    "postazione.\r\rLa cella viene ricaricata."),
                     mtWarning, mbOK);
        emit cellaDaRicaricare(SitId(), MatId());
        return;
    }
    written(record.iRecId);
}

void TfrQelDettRec::written(int iRecId)
{
    SetRecId(iRecId);
    const std::optional<MakeupRecord> stored = m_data.record(iRecId);
    SetPeso(stored ? stored->iTrePeso : 0);
    emit recuperoScritto(SitId(), MatId(), RecId(), Peso());
}

void TfrQelDettRec::CancellaRecupero()
{
    if (RecId() < 1)
        return;
    m_data.remove(RecId());
    SetRecId(0);
    SetPeso(0);
    emit recuperoScritto(SitId(), MatId(), 0, 0);
}
