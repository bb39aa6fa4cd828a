#include "gradeentry/qevfqualiffield.h"

#include <QRadioButton>
#include <QVBoxLayout>

TfmqevQualifField::TfmqevQualifField(QWidget *parent)
    : TfmVxOkCancDlg(parent),
      rbQuaAmmissione(new QRadioButton(QStringLiteral("Qualifica: punteggio di ammissione"))),
      rbQuaFinale(new QRadioButton(QStringLiteral("Qualifica: punteggio finale"))),
      rbLicenza(new QRadioButton(QStringLiteral("Licenza: punteggio secondaria I grado")))
{
    setObjectName(QStringLiteral("fmqevQualifField"));
    setWindowTitle(QStringLiteral("Campo da riempire"));
    auto *layout = new QVBoxLayout(ClientArea());
    for (QRadioButton *rb : {rbQuaAmmissione, rbQuaFinale, rbLicenza})
        layout->addWidget(rb);
    rbQuaAmmissione->setObjectName(QStringLiteral("rbQuaAmmissione"));
    rbQuaFinale->setObjectName(QStringLiteral("rbQuaFinale"));
    rbLicenza->setObjectName(QStringLiteral("rbLicenza"));
    rbQuaAmmissione->setChecked(true);
}

void TfmqevQualifField::PerImportazione()
{
    setWindowTitle(QStringLiteral("Campo da cui prelevare"));
    if (rbLicenza->isChecked())
        rbQuaAmmissione->setChecked(true);
    rbLicenza->setEnabled(false);
}

TqevCampoQualifica TfmqevQualifField::Campo() const
{
    if (rbQuaFinale->isChecked())
        return cqFinale;
    return rbLicenza->isChecked() ? cqLicenza : cqAmmissione;
}
