#include "makeup/qelrdettrec.h"

#include "gradeentry/qevsalva.h"
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

QString textOf(const QComboBox *combo, int id)
{
    const int index = id > 0 ? combo->findData(id) : -1;
    return index < 0 ? QStringLiteral("nessuno") : combo->itemText(index);
}

QString dateText(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("nessuna");
}

// The panel's words for assigning again after being told of another office's change.
TqevVerifica verificaPanel()
{
    TqevVerifica v;
    v.diNuovo.dato = QStringLiteral("il recupero scelto");
    v.diNuovo.sostituisce = QStringLiteral("Assegnando di nuovo il recupero, il recupero scelto "
                                           "sostituisce quello dell'altra postazione.");
    v.diNuovo.inserisce = QStringLiteral("Assegnando di nuovo il recupero, il recupero scelto "
                                         "viene inserito.");
    v.diNuovo.resta = QStringLiteral("La cella resta vuota, come nell'archivio.");
    v.diNuovo.cancella = QStringLiteral("Cancellando di nuovo il recupero, viene cancellato.");
    v.restano = QStringLiteral("Il riquadro del recupero mostra il recupero salvato, con le "
                               "scelte non salvate di questa postazione.");
    return v;
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
    m_letto = record;
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

std::optional<MakeupRecord> TfrQelDettRec::letto()
{
    if (RecId() < 1)
        return std::nullopt;
    if (!m_letto || m_letto->iRecId != RecId())
        m_letto = m_data.record(RecId());
    return m_letto;
}

QString TfrQelDettRec::domanda(const MakeupRecord &letto, const MakeupRecord &nuovo) const
{
    QStringList cambi;
    const auto cambio = [&cambi](const char *nome, const QString &da, const QString &a) {
        if (da != a)
            cambi << QStringLiteral("%1: %2 → %3").arg(QString::fromUtf8(nome), da, a);
    };
    cambio("Tipo di recupero", textOf(cboTipo(), letto.iTreId), textOf(cboTipo(), nuovo.iTreId));
    cambio("Data assegnazione", dateText(letto.dRecAttr), dateText(nuovo.dRecAttr));
    cambio("Esito recupero", textOf(cboEsito(), letto.iEreId), textOf(cboEsito(), nuovo.iEreId));
    cambio("Data verifica", dateText(letto.dRecVer), dateText(nuovo.dRecVer));
    if (cambi.isEmpty())
        return {};
    return QStringLiteral("Recupero già assegnato a %1 in %2. Cambiare il recupero?\r\r%3")
        .arg(m_alunno, m_materia, cambi.join(QLatin1Char('\r')));
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
    const MakeupRecord nuovo = choices();
    const std::optional<MakeupRecord> read = letto();
    if (RecId() > 0 && !read) {
        // Gone before anything was asked: the cell shows what the database holds.
        emit cellaDaRicaricare(SitId(), MatId());
        return;
    }
    if (read) {
        const QString testo = domanda(*read, nuovo);
        if (testo.isEmpty() || VxMessageDlg(testo, mtInformation, mbYesNo, 0, mrNo) != mrYes)
            return;
    }
    scrivi(read, &nuovo);
}

bool TfrQelDettRec::scrivi(const std::optional<MakeupRecord> &read, const MakeupRecord *nuovo)
{
    const int iSitId = SitId();
    const int iMatId = MatId();
    const int iAnsId = m_iAnsId;
    const int iFreId = m_iFreId;
    auto scritto = std::make_shared<MakeupRecord>(nuovo ? *nuovo : MakeupRecord());
    TqevScrittura s;
    s.cella = QStringLiteral("Alunno: %1\rMateria: %2").arg(m_alunno, m_materia);
    s.id = MakeupRecords::cellId(iSitId, iMatId);
    s.letta = MakeupRecords::asRead(read, nuovo);
    s.cancella = !nuovo;
    if (!nuovo) {
        const int key = read->iRecId;
        s.esegui = [key](TVxTransaction &tr) { MakeupRecords::remove(tr, key); };
        s.salvata = [this, iSitId, iMatId] {
            SetRecId(0);
            SetPeso(0);
            m_letto.reset();
            emit recuperoScritto(iSitId, iMatId, 0, 0);
        };
    } else if (read) {
        const MakeupRecord prima = *read;
        s.esegui = [scritto, prima](TVxTransaction &tr) {
            scritto->iRecId = prima.iRecId;
            MakeupRecords::update(tr, *scritto, prima);
        };
    } else {
        s.esegui = [scritto](TVxTransaction &tr) { MakeupRecords::insert(tr, *scritto); };
    }
    if (nuovo)
        s.salvata = [this, scritto] { written(scritto->iRecId); };
    const MakeupRecord scelto = nuovo ? *nuovo : MakeupRecord();
    s.cambiata = [this, read, scelto, assegnato = nuovo != nullptr](const TVxRiga &) {
        prendiSalvato(read, scelto, assegnato);
    };
    TqevVerifica verifica = verificaPanel();
    verifica.leggi = [this, iAnsId, iFreId, iSitId, iMatId](TVxTransaction &) {
        return m_data.cellNow(iAnsId, iFreId, iSitId, iMatId);
    };
    return SalvaScritture({s}, verifica);
}

void TfrQelDettRec::prendiSalvato(const std::optional<MakeupRecord> &read,
                                  const MakeupRecord &scelto, bool assegnato)
{
    // The grid's cell and this panel read the cell again: its record as stored now.
    m_letto.reset();
    emit cellaDaRicaricare(SitId(), MatId());
    if (!assegnato)
        return;
    // What this office chose stays over it, to be assigned again.
    const MakeupRecord prima = read.value_or(MakeupRecord());
    const bool tutto = !m_letto;
    m_loading = true;
    if (tutto || !read || scelto.iTreId != prima.iTreId)
        selectId(cboTipo(), scelto.iTreId);
    if (tutto || (read && scelto.iEreId != prima.iEreId))
        selectId(cboEsito(), scelto.iEreId);
    if (tutto || (read && scelto.dRecAttr != prima.dRecAttr))
        deAssegna()->SetDate(scelto.dRecAttr);
    if (tutto || (read && scelto.dRecVer != prima.dRecVer))
        deVerifica()->SetDate(scelto.dRecVer);
    m_loading = false;
}

void TfrQelDettRec::written(int iRecId)
{
    SetRecId(iRecId);
    const std::optional<MakeupRecord> stored = m_data.record(iRecId);
    m_letto = stored;
    SetPeso(stored ? stored->iTrePeso : 0);
    emit recuperoScritto(SitId(), MatId(), RecId(), Peso());
}

void TfrQelDettRec::CancellaRecupero()
{
    if (RecId() < 1)
        return;
    const std::optional<MakeupRecord> read = letto();
    if (!read) {
        emit cellaDaRicaricare(SitId(), MatId());
        return;
    }
    scrivi(read, nullptr);
}
