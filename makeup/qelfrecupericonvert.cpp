#include "makeup/qelfrecupericonvert.h"

#include "makeup/qelmakeuprecords.h"
#include "makeup/qelsessioncopyform.h"
#include "platform/connection.h"
#include "platform/dateedit.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qeldatasets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

void fill(QComboBox *combo, const TVxEnumItems &items)
{
    combo->clear();
    for (const TVxEnumItem &item : items)
        combo->addItem(item.text, item.id);
}

int chosenId(const QComboBox *combo)
{
    return enumItemId(combo, combo->currentIndex());
}

QComboBox *addList(QFormLayout *form, QWidget *parent, const QString &label, const char *name)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setMinimumWidth(240);
    form->addRow(label, list);
    return list;
}

} // namespace

TfmqelRecuperiConvert::TfmqelRecuperiConvert(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_conversion(qqoVxGlobConn()), m_iDwgId(TVxWorkingContext::institute())
{
    setObjectName(QStringLiteral("fmqelRecuperiConvert"));
    setWindowTitle(QStringLiteral("Tipi/Esiti recuperi"));

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    addCopyWarningPanel(layout, ClientArea(),
                        QStringLiteral("ATTENZIONE! Convertendo le tassonomie in Tipo Recupero "
                                       "verranno \ncancellati i recuperi precedentemente "
                                       "inseriti"));
    auto *form = new QFormLayout;
    layout->addLayout(form);
    m_cbAns = addList(form, ClientArea(), QStringLiteral("&Anno scolastico"), "cbAns");
    m_cbSes = addList(form, ClientArea(), QStringLiteral("&Sessione"), "cbSes");
    m_cbFaseRec = addList(form, ClientArea(), QStringLiteral("&Recupero"), "cbFaseRec");
    m_deDataEsito = new TVxDateEdit(ClientArea());
    m_deDataEsito->setObjectName(QStringLiteral("deDataEsito"));
    form->addRow(QStringLiteral("&Data (assegnata in modo collettivo)"), m_deDataEsito);

    m_rgTipoEsito = new QGroupBox(QStringLiteral("Scelta dati da importare"), ClientArea());
    m_rgTipoEsito->setObjectName(QStringLiteral("rgTipoEsito"));
    m_tipoEsito = new QButtonGroup(m_rgTipoEsito);
    auto *choices = new QVBoxLayout(m_rgTipoEsito);
    const char *const items[] = {"&Tipo Recupero", "&Esito Recupero"};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QRadioButton(QString::fromLatin1(items[i]), m_rgTipoEsito);
        button->setObjectName(QStringLiteral("rbTipoEsito%1").arg(i));
        m_tipoEsito->addButton(button, i);
        choices->addWidget(button);
    }
    SetTipoEsito(0);
    layout->addWidget(m_rgTipoEsito);
    layout->addStretch();
    resize(580, 330);

    connect(m_cbAns, &QComboBox::currentIndexChanged, this,
            [this] { RunShowingErrors([this] { cbAnsChange(); }); });
    RunShowingErrors([this] {
        const QSignalBlocker blocker(m_cbAns);
        fill(m_cbAns, m_conversion.schoolYears());
        m_cbAns->setCurrentIndex(m_cbAns->findData(TVxWorkingContext::schoolYear()));
    });
    if (m_cbAns->currentIndex() >= 0)
        RunShowingErrors([this] { cbAnsChange(); });
}

TfmqelRecuperiConvert::~TfmqelRecuperiConvert() = default;

int TfmqelRecuperiConvert::TipoEsito() const
{
    return m_tipoEsito->checkedId();
}

void TfmqelRecuperiConvert::SetTipoEsito(int index)
{
    if (QAbstractButton *button = m_tipoEsito->button(index))
        button->setChecked(true);
}

void TfmqelRecuperiConvert::cbAnsChange()
{
    const int iAnsId = chosenId(m_cbAns);
    m_cbSes->clear();
    m_cbFaseRec->clear();
    fill(m_cbSes, TdmqelDataSets::YearSessions(m_iDwgId, iAnsId));
    // The working session when it is one of the year's, else none.
    m_cbSes->setCurrentIndex(m_cbSes->findData(TVxWorkingContext::session()));
    // Only the phases common to every institute: the records they hold are the school's.
    for (const MakeupPhase &phase : MakeupRecords(qqoVxGlobConn()).phasesOfYear(iAnsId, true))
        m_cbFaseRec->addItem(phase.sFreLDesc, phase.iAnsFreDwgId);
    m_cbFaseRec->setCurrentIndex(m_cbFaseRec->count() > 0 ? 0 : -1);
}

bool TfmqelRecuperiConvert::choicesComplete() const
{
    // With an id of 0 the type conversion would delete nothing and insert records of a phase
    // that does not exist.
    const struct
    {
        const QComboBox *list;
        const char *message;
    } choices[] = {
        {m_cbAns, "Selezionare l'anno scolastico."},
        {m_cbSes, "Selezionare la sessione da cui leggere le tassonomie."},
        {m_cbFaseRec, "Selezionare la fase di recupero."},
    };
    for (const auto &c : choices)
        if (chosenId(c.list) <= 0) {
            VxMessageDlg(QString::fromUtf8(c.message), mtWarning, mbOK);
            return false;
        }
    return true;
}

void TfmqelRecuperiConvert::OkClick()
{
    if (!choicesComplete()) {
        SetModalResult(mrNone);
        return;
    }
    const bool outcomes = TipoEsito() == 1;
    // The outcomes the office or a collection recorded are written over: the question counts
    // them, as the types' question warns of the records it deletes.
    int replaced = 0;
    if (outcomes && !RunShowingErrors([&] {
            replaced = m_conversion.outcomesReplaced(chosenId(m_cbSes), chosenId(m_cbFaseRec));
        })) {
        SetModalResult(mrNone);
        return;
    }
    const int answer =
        outcomes ? VxMessageDlg(QStringLiteral("Conferma passaggio esiti recuperi?\r\rEsiti già "
                                               "registrati che verranno sostituiti: %1")
                                    .arg(replaced),
                                mtConfirmation, mbYesNo, 0, mrNo)
                 : VxMessageDlg(QStringLiteral("Conferma passaggio tipi recuperi?\rL'operazione "
                                               "cancellerà eventuali recuperi già inseriti"),
                                mtWarning, mbYesNo, 0, mrNo);
    if (answer == mrYes)
        run(outcomes);
}

void TfmqelRecuperiConvert::run(bool outcomes)
{
    m_wait = std::make_unique<TfmVxWait>(this);
    m_wait->SetTitle(QStringLiteral("Conversione delle tassonomie in corso"));
    m_wait->SetOperation(outcomes ? QStringLiteral("Passaggio degli esiti dei recuperi...")
                                  : QStringLiteral("Passaggio dei tipi di recupero..."));
    m_wait->ShowWait();
    const MakeupConversionProgress progress{
        [this](int count) { m_wait->InitProgressBar(0, count); },
        [this] { m_wait->StepProgressBar(1); }};
    const int iAnsSesDwgId = chosenId(m_cbSes);
    const int iAnsFreDwgId = chosenId(m_cbFaseRec);
    const QDate date = m_deDataEsito->Date();
    MakeupConversionResult result;
    const bool done = RunShowingErrors([&] {
        VxExplain(
            QStringLiteral("Conversione non eseguita: nessun recupero è stato modificato."), [&] {
                result =
                    outcomes
                        ? m_conversion.convertOutcomes(iAnsSesDwgId, iAnsFreDwgId, date, progress)
                        : m_conversion.convertTypes(iAnsSesDwgId, iAnsFreDwgId, date, progress);
            });
    });
    m_wait->CloseWait();
    if (!done)
        return;
    if (result.sourceRows == 0) {
        // Nothing was changed: the office is told so, and only so.
        VxMessageDlg(outcomes ? QStringLiteral("Nessun esito importato!")
                              : QStringLiteral("Nessun recupero importato!"),
                     mtError, mbOK);
        return;
    }
    // What changed, counted: the office checks it against the grades the teachers entered.
    VxMessageDlg(outcomes ? QStringLiteral("Passaggio degli esiti dei recuperi eseguito.\r\r"
                                           "Tassonomie lette: %1\rEsiti scritti nei recuperi: %2")
                                .arg(result.sourceRows)
                                .arg(result.written)
                          : QStringLiteral("Passaggio dei tipi di recupero eseguito.\r\r"
                                           "Tassonomie lette: %1\rRecuperi della fase cancellati: "
                                           "%2\rRecuperi creati: %3")
                                .arg(result.sourceRows)
                                .arg(result.removed)
                                .arg(result.written),
                 mtInformation, mbOK);
}
