#include "reports/qelfstampaverbali.h"

#include "platform/frames.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "reportengine/reporttree.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelreporttree.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char kFormatText[] = "La scelta del formato di stampa influenza la quantità di dati\n"
                           "visualizzabile all'interno del registro.\n"
                           "Il formato A4 supporta un minore numero di materie per classe\n"
                           "e limita il giudizio a circa 1500 caratteri.\n"
                           "Per classi con molte materie o giudizi molto lunghi si consiglia\n"
                           "di utilizzare il formato A3.";
const char kQualificaText[] = "Usando le stampe per la qualifica il processo di elaborazione\n"
                              "sarà più lento ma il programma riconoscerà le classi e le\n"
                              "presenterà con un aspetto grafico diverso, mostrando anche i\n"
                              "risultati delle prove di ammissione.\n"
                              "Le altre classi verranno stampate nel formato standard.";
const char kSendText[] =
    "Al termine dell'elaborazione sarà possibile visualizzare un'anteprima in PDF del registro\n"
    "ed effettuare l'invio a Veldrasoft attraverso l'apposita finestra \"Gestione Volumi\".";
const char kDone[] = "Operazione completata con successo. Andare in \"Gestione Volumi\" per "
                     "visualizzare i file e spedirli a Veldrasoft.";
const char kCustomMedia[] = "Stampa personalizzata";

QWidget *page(const char *title, const char *name)
{
    auto *w = new QWidget;
    w->setWindowTitle(QString::fromUtf8(title));
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel *label(const QString &text, const char *name = nullptr)
{
    auto *l = new QLabel(text);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

TfmQelStampaVerbali::TfmQelStampaVerbali(QWidget *owner) : TfmVxWizard(owner)
{
    setObjectName(QStringLiteral("fmQelStampaVerbali"));
    setWindowTitle(QStringLiteral("Stampa digitale dei registri"));

    QWidget *first = page("Fase 1: Scegliere le classi da stampare", "tsClassi");
    m_classes = new TfrVxDoubleListView;
    m_classes->setObjectName(QStringLiteral("dlClassi"));
    (new QVBoxLayout(first))->addWidget(m_classes);
    AddPage(first);

    QWidget *second = page("Fase 2: Scelta tipo di stampa", "tsTipoStampa");
    auto *grid = new QGridLayout(second);
    m_chosen = label(QString(), "laClassiSelezionate");
    grid->addWidget(m_chosen, 0, 0, 1, 2);
    m_format = new QGroupBox(QStringLiteral("Formato stampa"));
    m_format->setObjectName(QStringLiteral("rgFormato"));
    m_a4 = new QRadioButton(QStringLiteral("A4"));
    m_a4->setObjectName(QStringLiteral("rbA4"));
    m_a4->setChecked(true);
    m_a3 = new QRadioButton(QStringLiteral("A3"));
    m_a3->setObjectName(QStringLiteral("rbA3"));
    auto *formats = new QHBoxLayout(m_format);
    formats->addWidget(m_a4);
    formats->addWidget(m_a3);
    grid->addWidget(m_format, 1, 0);
    grid->addWidget(label(QString::fromUtf8(kFormatText)), 1, 1);
    m_printTypeBox = new QGroupBox(QStringLiteral("Tipo di stampa"));
    m_printTypes = new QListWidget;
    m_printTypes->setObjectName(QStringLiteral("lbTipoStampa"));
    // Until the first click the list keeps the spelling it always had.
    m_printTypes->addItems({QStringLiteral("Quadrimestri (3 Componenti)"),
                            QStringLiteral("Quadrimestri (4 Componenti)")});
    m_printTypes->setCurrentRow(0);
    (new QVBoxLayout(m_printTypeBox))->addWidget(m_printTypes);
    grid->addWidget(m_printTypeBox, 2, 0);
    m_customBox = new QGroupBox(QStringLiteral("Scegliere la stampa personalizzata"));
    m_customBox->setObjectName(QStringLiteral("gbPersonalizzate"));
    m_customTemplates = new QListWidget;
    m_customTemplates->setObjectName(QStringLiteral("lbPersonalizzate"));
    (new QVBoxLayout(m_customBox))->addWidget(m_customTemplates);
    m_customBox->setVisible(false);
    grid->addWidget(m_customBox, 3, 0);
    m_qualifica = new QCheckBox(QStringLiteral("Usa stampe per la qualifica."));
    m_qualifica->setObjectName(QStringLiteral("cbQualifica"));
    grid->addWidget(m_qualifica, 4, 0);
    grid->addWidget(label(QString::fromUtf8(kQualificaText)), 2, 1, 3, 1);
    m_customButton = new QPushButton(QStringLiteral("Usa stampe personalizzate"));
    m_customButton->setObjectName(QStringLiteral("buPersonalizzate"));
    m_customButton->setVisible(false);
    grid->addWidget(m_customButton, 5, 0);
    grid->addWidget(label(QString::fromUtf8(kSendText)), 6, 0, 1, 2);
    AddPage(second);
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{m_a4, m_a3, m_qualifica})
        connect(b, &QAbstractButton::clicked, this, &TfmQelStampaVerbali::refillPrintTypes);
    connect(m_customButton, &QPushButton::clicked, this, &TfmQelStampaVerbali::toggleCustom);

    QWidget *third = page("Fase 3: Titolo volume, riepilogo e conferma", "tsConferma");
    auto *summary = new QVBoxLayout(third);
    auto *titlesBox = new QGroupBox(QStringLiteral("Definizione titoli"));
    m_titles = new QTableWidget(0, 2);
    m_titles->setObjectName(QStringLiteral("grTitoli"));
    m_titles->setHorizontalHeaderLabels({QStringLiteral("Volume"), QStringLiteral("Titolo")});
    m_titles->horizontalHeader()->setStretchLastSection(true);
    (new QVBoxLayout(titlesBox))->addWidget(m_titles);
    summary->addWidget(titlesBox, 1);
    m_pupils = label(QStringLiteral("Totale alunni da stampare: "), "laTotAlunni");
    m_formatChosen = label(QStringLiteral("Formato selezionato: "), "laFormato");
    summary->addWidget(m_pupils);
    summary->addWidget(m_formatChosen);
    summary->addWidget(
        label(QStringLiteral("Premere FINE per avviare la stampa digitale dei registri")));
    AddPage(third);
    connect(m_titles, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() != 1 || !cdsTitoli.Active())
            return;
        cdsTitoli.setRecNo(item->row());
        cdsTitoli.Edit();
        cdsTitoli.FieldByName(QStringLiteral("Titolo"))->setValue(item->text());
        cdsTitoli.Post();
    });

    cdsTitoli.AddFieldDef(QStringLiteral("Volume"), ftInteger);
    cdsTitoli.AddFieldDef(QStringLiteral("Titolo"), ftString, 50);
    cdsTitoli.CreateDataSet();
    RunShowingErrors([this] { QelRegisterVolume::LoadCustomTemplates(m_customTemplates); });
    if (m_customTemplates->count() > 0) {
        m_customButton->setVisible(true);
        m_customTemplates->setCurrentRow(0);
    }
    resize(820, 520);
    GoToPage(0);
}

void TfmQelStampaVerbali::refillPrintTypes()
{
    m_printTypes->clear();
    m_printTypes->addItems(
        QelRegisterVolume::PrintTypes(m_a3->isChecked(), m_qualifica->isChecked()));
    m_printTypes->setCurrentRow(0);
}

void TfmQelStampaVerbali::toggleCustom()
{
    m_custom = !m_custom;
    m_format->setVisible(!m_custom);
    m_printTypeBox->setVisible(!m_custom);
    m_customBox->setVisible(m_custom);
    m_qualifica->setVisible(false);
    m_customButton->setText(m_custom ? QStringLiteral("Usa stampe di default")
                                     : QStringLiteral("Usa stampe personalizzate"));
}

bool TfmQelStampaVerbali::CanGoNext(int page)
{
    if (page != 0 || m_classes->lvRight()->count() > 0)
        return true;
    VxMessageDlg(QStringLiteral("Nessuna classe scelta.\r\rSpostare nell'elenco di destra le "
                                "classi da stampare, poi premere \"Avanti\"."),
                 mtWarning, mbOK);
    return false;
}

void TfmQelStampaVerbali::PageShown(int page)
{
    QListWidget *chosen = m_classes->lvRight();
    if (page == 0) {
        RunShowingErrors([this] {
            QelRegisterVolume::LoadSessionClasses(m_classes->lvLeft(),
                                                  TVxWorkingContext::session());
        });
    } else if (page == 1) {
        m_chosen->setText(CountText(int(chosen->count()),
                                    QStringLiteral("È stata selezionata %1 classe"),
                                    QStringLiteral("Sono state selezionate %1 classi")));
        m_classIds.clear();
        for (int row = 0; row < chosen->count(); ++row)
            m_classIds << chosen->item(row)->data(Qt::UserRole).toInt();
    } else {
        cdsTitoli.EmptyDataSet();
        cdsTitoli.Append();
        cdsTitoli.FieldByName(QStringLiteral("Volume"))->setValue(1);
        cdsTitoli.FieldByName(QStringLiteral("Titolo"))
            ->setValue(QStringLiteral("Registro generale dei voti"));
        cdsTitoli.Post();
        const QSignalBlocker quiet(m_titles);
        m_titles->setRowCount(0);
        for (int row = 0; row < cdsTitoli.RecordCount(); ++row) {
            m_titles->insertRow(row);
            for (int column = 0; column < 2; ++column) {
                auto *item = new QTableWidgetItem(cdsTitoli.Value(row, column).toString());
                if (column == 0)
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                m_titles->setItem(row, column, item);
            }
        }
        // With no class there is nothing to print: Finish stays off.
        buFinish()->setEnabled(!m_classIds.isEmpty());
        if (m_classIds.isEmpty())
            return;
        RunShowingErrors([this] {
            m_pupils->setText(QStringLiteral("Totale alunni da stampare: %1")
                                  .arg(QelRegisterVolume::CountPupils(m_classIds)));
        });
        if (m_custom) {
            m_media = QString::fromLatin1(kCustomMedia);
            QListWidgetItem *item = m_customTemplates->currentItem();
            m_reportId = item ? item->data(Qt::UserRole).toInt() : 0;
        } else {
            m_media = m_a3->isChecked() ? QStringLiteral("A3") : QStringLiteral("A4");
            m_reportId = QelRegisterVolume::ReportId(m_a3->isChecked(), m_qualifica->isChecked(),
                                                     m_printTypes->currentRow());
        }
        m_formatChosen->setText(QStringLiteral("Formato selezionato: ") + m_media);
    }
}

bool TfmQelStampaVerbali::Finish()
{
    if (m_classIds.isEmpty())
        return false;
    cdsTitoli.First();
    const QelVolumeRun run{m_classIds, m_reportId, m_media,
                           cdsTitoli.FieldByName(QStringLiteral("Titolo"))->AsString()};
    const bool done = RunShowingErrors([&run] {
        TVxRptTreeView *tree = dmqelActivations ? qelReportTree(dmqelActivations) : nullptr;
        if (!tree || !dmqelRptDataSets)
            throw EVxException(QStringLiteral("Le stampe non sono disponibili: aprire la finestra "
                                              "principale del programma."));
        QelRegisterVolume::Export(*dmqelRptDataSets, tree->RptFR(), run);
    });
    if (done) {
        const QString notice = dmqelActivations
                                   ? qelReportTree(dmqelActivations)->RptFR().Pages().cutNotice()
                                   : QString();
        if (notice.isEmpty())
            VxMessageDlg(QString::fromUtf8(kDone), mtInformation, mbOK);
        else
            VxMessageDlg(notice + QStringLiteral("\r\rIl volume è stato creato: andare in "
                                                 "\"Gestione Volumi\" per visualizzare i file e "
                                                 "spedirli a Veldrasoft."),
                         mtWarning, mbOK);
    }
    return done;
}
