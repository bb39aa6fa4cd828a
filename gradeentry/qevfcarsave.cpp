#include "gradeentry/qevfcarsave.h"

#include "platform/messagedlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfmqevCarSave::TfmqevCarSave(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_esc(new QPushButton(QStringLiteral("Non salvare")))
{
    setObjectName(QStringLiteral("fmqevCarSave"));
    setWindowTitle(QStringLiteral("Salva"));
    // By kind: the left column the vote kinds, the right one the others.
    const struct
    {
        const char *name;
        const char *caption;
        int row;
        int col;
    } caselle[] = {{"cbVot", "Voti", 0, 0},       {"cbVtp", "Voti proposti", 1, 0},
                   {"cbTas", "Tassonomie", 2, 0}, {"cbAss", "Assenze", 3, 0},
                   {"cbAiu", "Aiuti", 4, 0},      {"cbNot", "Note", 0, 1},
                   {"cbCre", "Crediti", 3, 1},    {"cbDeb", "Debiti", 1, 1},
                   {"cbGdz", "Giudizi", 4, 1},    {"cbFin", "Esito finale", 2, 1}};
    auto *grid = new QGridLayout;
    for (const auto &c : caselle) {
        auto *box = new QCheckBox(QString::fromUtf8(c.caption));
        box->setObjectName(QString::fromLatin1(c.name));
        box->setChecked(false);
        box->setEnabled(false);
        grid->addWidget(box, c.row, c.col);
        m_caselle.append(box);
    }

    // The buttons stand on a panel at the right.
    buOk()->setText(QStringLiteral("Salva"));
    m_esc->setObjectName(QStringLiteral("buEsc"));
    // Enter keeps the work: closing without saving is a choice, never a reflex.
    buOk()->setDefault(true);
    m_esc->setDefault(false);
    m_esc->setAutoDefault(false);
    ButtonRow()->removeWidget(buOk());
    ButtonRow()->removeWidget(buCancel());
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(buOk());
    buttons->addWidget(m_esc);
    buttons->addWidget(buCancel());
    buttons->addStretch();
    auto *client = new QHBoxLayout(ClientArea());
    client->addLayout(grid, 1);
    client->addLayout(buttons);
    connect(m_esc, &QPushButton::clicked, this, [this] { done(mrNo); });
}

QCheckBox *TfmqevCarSave::Casella(int TipoDati) const
{
    return TipoDati >= 0 && TipoDati < m_caselle.size() ? m_caselle.at(TipoDati) : nullptr;
}

TfmqevCarSave::TEsito TfmqevCarSave::Esito() const
{
    switch (result()) {
    case mrOk:
        return esSalva;
    case mrNo:
        return esNonSalvare;
    default:
        return esNonChiudere;
    }
}
