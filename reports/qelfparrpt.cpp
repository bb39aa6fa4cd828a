#include "reports/qelfparrpt.h"

#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reports/qelparrptdata.h"
#include "shell/qeldatasets.h"
#include "shell/qelpargen.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char *const kSessionCaptions[3] = {"Prima sessione", "Seconda sessione", "Sessione finale"};
const char *const kComponentCaptions[8] = {
    "Prima componente",  "Seconda componente", "Terza componente",   "Quarta componente",
    "Quinta componente", "Sesta componente",   "Settima componente", "Ottava componente"};

TVxParInteger &sessionParameter(int slot)
{
    TVxParInteger *sessions[] = {&dmqelParGen->xpiSes1, &dmqelParGen->xpiSes2,
                                 &dmqelParGen->xpiSes3};
    return *sessions[slot];
}

void fill(QComboBox *list, const TVxEnumItems &items)
{
    list->clear();
    for (const TVxEnumItem &item : items)
        list->addItem(item.text, item.id);
}

QComboBox *makeList(const QString &name, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->setMinimumWidth(260);
    return list;
}

} // namespace

TfmqelParRpt::TfmqelParRpt(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_main(new QTabWidget(ClientArea())), m_pagelle(new QTabWidget),
      m_esi(new QListWidget)
{
    setObjectName(QStringLiteral("fmqelParRpt"));
    setWindowTitle(QStringLiteral("Parametri di stampa"));
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_main);

    m_main->setObjectName(QStringLiteral("pcMain"));
    auto *cards = new QWidget;
    cards->setObjectName(QStringLiteral("tsPagelle"));
    auto *cardsLayout = new QVBoxLayout(cards);
    cardsLayout->addWidget(m_pagelle);
    m_main->addTab(cards, QStringLiteral("Pagelle e Registri"));

    m_pagelle->setObjectName(QStringLiteral("pcPagelle"));
    m_pagelle->setDocumentMode(true);
    for (int slot = 0; slot < 3; ++slot) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("tsSessione%1").arg(slot + 1));
        auto *form = new QFormLayout(page);
        m_ses[slot] = makeList(QStringLiteral("cbSes%1").arg(slot + 1), page);
        form->addRow(QString::fromUtf8(kSessionCaptions[slot]), m_ses[slot]);
        for (int n = 0; n < 8; ++n) {
            m_cmp[slot][n] = makeList(QStringLiteral("cbCmp%1_%2").arg(slot + 1).arg(n + 1), page);
            form->addRow(QString::fromUtf8(kComponentCaptions[n]), m_cmp[slot][n]);
        }
        m_pagelle->addTab(page, QString::fromUtf8(kSessionCaptions[slot]));
        connect(m_ses[slot], &QComboBox::currentIndexChanged, this, [this, slot] {
            if (!m_loading)
                RunShowingErrors([this, slot] { cbSesChange(slot); });
        });
    }

    auto *boards = new QWidget;
    boards->setObjectName(QStringLiteral("tsTabelloni"));
    auto *boardsLayout = new QVBoxLayout(boards);
    boardsLayout->addWidget(new QLabel(
        QStringLiteral("Non stampare i voti degli alunni con i seguenti Esiti Finali:")));
    m_esi->setObjectName(QStringLiteral("clEsi"));
    boardsLayout->addWidget(m_esi, 1);
    m_main->addTab(boards, QStringLiteral("Tabelloni"));

    m_main->setCurrentIndex(0);
    m_pagelle->setCurrentIndex(0);
    // Filled at once, so that the office (or a script) finds the lists ready. Lists that
    // could not be filled would store "none" everywhere: OK is then refused.
    m_loaded = RunShowingErrors([this] {
        dmqelParGen->WriteParRptIniFromDb();
        FormShow();
    });
    buOk()->setEnabled(m_loaded);
}

void TfmqelParRpt::FormShow()
{
    QScopedValueRollback<bool> loading(m_loading, true);
    const int institute = TVxWorkingContext::institute();
    const int year = TVxWorkingContext::schoolYear();
    // Without a working year and institute there is nothing to offer but "[Nessuna]".
    const TVxEnumItems sessions = institute != 0 && year != 0
                                      ? TdmqelDataSets::YearSessions(institute, year)
                                      : TVxEnumItems();
    for (int slot = 0; slot < 3; ++slot) {
        fill(m_ses[slot], sessions);
        SelezionaSessione(m_ses[slot], sessionParameter(slot).GetValore());
    }
    for (int slot = 0; slot < 3; ++slot)
        cbSesChange(slot);

    m_esi->clear();
    for (const TVxEnumItem &outcome : QelPrintSettingsData::FinalPositions()) {
        auto *line = new QListWidgetItem(outcome.text, m_esi);
        line->setData(Qt::UserRole, outcome.id);
        line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        line->setCheckState(Qt::Unchecked);
    }
    for (int id : QelPrintSettingsData::OutcomeIds(dmqelParGen->xpsEsi.GetValore())) {
        for (int row = 0; row < m_esi->count(); ++row)
            if (m_esi->item(row)->data(Qt::UserRole).toInt() == id)
                m_esi->item(row)->setCheckState(Qt::Checked);
    }
}

void TfmqelParRpt::SelezionaSessione(QComboBox *list, int id)
{
    const int found = id == 0 ? -1 : list->findData(id);
    list->insertItem(0, QStringLiteral("[Nessuna]"));
    list->setCurrentIndex(found + 1);
}

void TfmqelParRpt::cbSesChange(int slot)
{
    QScopedValueRollback<bool> loading(m_loading, true);
    const int session = enumItemId(m_ses[slot], m_ses[slot]->currentIndex());
    const TVxEnumItems components = QelPrintSettingsData::SessionComponents(session);
    for (int n = 0; n < 8; ++n) {
        fill(m_cmp[slot][n], components);
        SelezionaComponente(m_cmp[slot][n], dmqelParGen->xpiCmp[slot][n].GetValore());
    }
}

void TfmqelParRpt::storeChoices()
{
    for (int slot = 0; slot < 3; ++slot)
        sessionParameter(slot).SetValore(enumItemId(m_ses[slot], m_ses[slot]->currentIndex()));
    for (int slot = 0; slot < 3; ++slot)
        for (int n = 0; n < 8; ++n)
            dmqelParGen->xpiCmp[slot][n].SetValore(
                enumItemId(m_cmp[slot][n], m_cmp[slot][n]->currentIndex()));
    QList<int> left;
    for (int row = 0; row < m_esi->count(); ++row)
        if (m_esi->item(row)->checkState() == Qt::Checked)
            left << m_esi->item(row)->data(Qt::UserRole).toInt();
    dmqelParGen->xpsEsi.SetValore(QelPrintSettingsData::OutcomeText(left));
    dmqelParGen->SaveParRptIniToDb();
}

void TfmqelParRpt::OkClick()
{
    if (!m_loaded || !RunShowingErrors([this] { storeChoices(); }))
        SetModalResult(mrNone);
}
