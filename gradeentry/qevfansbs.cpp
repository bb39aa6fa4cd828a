#include "gradeentry/qevfansbs.h"

#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const char kAnni[] =
    "SELECT Ans.iAnsId, CAST(Ans.iAnsValore AS CHAR(4)) || '/' || "
    "CAST(Ans.iAnsValore + 1 AS CHAR(4)) AS cAnnoScol, Ans.dAnsVextoInizio, Ans.dAnsVextoFine "
    "FROM TAns_AnniScolast Ans ORDER BY Ans.iAnsValore";

const char kSessioni[] =
    "SELECT TASD.iAnsSesDwgId, TSes.sSesDesc FROM TAnsSesDwg TASD "
    "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TASD.iSesId) "
    "WHERE TASD.iDwgId = :iDwgId AND TASD.iAnsId = :iAnsId ORDER BY TASD.iAnsSesDwgOrdine";

int indexOfId(const QComboBox *combo, int id)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (enumItemId(combo, i) == id)
            return i;
    }
    return -1;
}

} // namespace

TfmQevAnsBs::TfmQevAnsBs(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_cbAns(new QComboBox), m_panel2(new QHBoxLayout)
{
    m_cbAns->setObjectName(QStringLiteral("cbAns"));
    m_cbAns->setMinimumWidth(129);
    auto *label = new QLabel(QStringLiteral("&Anno scolastico:"));
    label->setBuddy(m_cbAns);
    m_panel2->addWidget(label);
    m_panel2->addWidget(m_cbAns);
    m_panel2->addStretch();
    auto *client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    client->addLayout(m_panel2);
    connect(m_cbAns, &QComboBox::currentIndexChanged, this, [this] { cbAnsChange(); });
}

void TfmQevAnsBs::CaricaAnni()
{
    const QSignalBlocker blocker(m_cbAns);
    LoadEnumValues(qqoVxGlobConn(), m_cbAns, QString::fromLatin1(kAnni));
    m_cbAns->setCurrentIndex(indexOfId(m_cbAns, TVxWorkingContext::schoolYear()));
}

int TfmQevAnsBs::GetAnsId() const
{
    return m_cbAns->currentIndex() < 0 ? 0 : enumItemId(m_cbAns, m_cbAns->currentIndex());
}

TfmqevAnsSesDwgBs::TfmqevAnsSesDwgBs(QWidget *parent)
    : TfmQevAnsBs(parent), m_cbAnsSesDwg(new QComboBox)
{
    m_cbAnsSesDwg->setObjectName(QStringLiteral("cbAnsSesDwg"));
    m_cbAnsSesDwg->setMinimumWidth(129);
    auto *label = new QLabel(QStringLiteral("&Sessione:"));
    label->setBuddy(m_cbAnsSesDwg);
    Panel2()->insertWidget(Panel2()->count() - 1, label);
    Panel2()->insertWidget(Panel2()->count() - 1, m_cbAnsSesDwg);
    connect(m_cbAnsSesDwg, &QComboBox::currentIndexChanged, this, [this] { cbAnsSesDwgChange(); });
}

void TfmqevAnsSesDwgBs::CaricaSessioni()
{
    {
        const QSignalBlocker blocker(m_cbAnsSesDwg);
        TVxFieldValues params;
        params.setValue(QStringLiteral("iDwgId"), TVxWorkingContext::institute());
        params.setValue(QStringLiteral("iAnsId"), GetAnsId());
        LoadEnumValues(qqoVxGlobConn(), m_cbAnsSesDwg, QString::fromLatin1(kSessioni), params);
        const int working = indexOfId(m_cbAnsSesDwg, TVxWorkingContext::session());
        m_cbAnsSesDwg->setCurrentIndex(working >= 0 || m_cbAnsSesDwg->count() == 0 ? working : 0);
    }
    cbAnsSesDwgChange();
}

int TfmqevAnsSesDwgBs::GetAnsSesDwgId() const
{
    const int index = m_cbAnsSesDwg->currentIndex();
    return index < 0 ? 0 : enumItemId(m_cbAnsSesDwg, index);
}
