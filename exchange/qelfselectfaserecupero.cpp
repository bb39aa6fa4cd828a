#include "exchange/qelfselectfaserecupero.h"

#include "exchange/qelwebrecuperisql.h"
#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

TfmqelSelectFaseRecupero::TfmqelSelectFaseRecupero(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_phases(new QComboBox)
{
    setObjectName(QStringLiteral("fmqelSelectFaseRecupero"));
    setWindowTitle(QStringLiteral("Scelta fase di recupero"));
    auto *layout = new QVBoxLayout(ClientArea());
    auto *label = new QLabel(QStringLiteral("Fase di recupero da raccogliere da Tavrin-Web"));
    label->setBuddy(m_phases);
    m_phases->setObjectName(QStringLiteral("cbFaseRec"));
    layout->addWidget(label);
    layout->addWidget(m_phases);
    layout->addStretch(1);
    LoadEnumValues(qqoVxGlobConn(), m_phases, QelWebRecuperiSql::phases(),
                   valuesOf({{"iAnsId", TVxWorkingContext::schoolYear()}}));
    m_phases->setCurrentIndex(m_phases->count() > 0 ? 0 : -1);
}

int TfmqelSelectFaseRecupero::GetFaseRecId() const
{
    const int index = m_phases->currentIndex();
    return index < 0 ? 0 : enumItemId(m_phases, index);
}
