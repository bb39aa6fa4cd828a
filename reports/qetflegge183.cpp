#include "reports/qetflegge183.h"

#include "platform/messagedlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Box
{
    const char *name;
    const char *caption;
};

const Box kBoxes[3] = {
    {"chkcertnprod", "'Il presente certificato non può essere prodotto ...' di cui all'art. 15 "
                     "legge 183 23/11/2011"},
    {"chkFirmaomessa", "La firma è omessa ai sensi dell’art. 3, D.to Lgs. 12/02/1993 n. 39"},
    {"chkfirmdig",
     "Documento informatico firmato digitalmente ai sensi del D.Lgs. n. 82/2005 e ..."},
};

} // namespace

TfmQetLegge183::TfmQetLegge183(QWidget *owner) : TfmVxOkCancDlg(owner)
{
    setObjectName(QStringLiteral("fmQetLegge183"));
    setWindowTitle(QStringLiteral("Certificato"));
    auto *group = new QGroupBox(QStringLiteral("Vuoi inserire una delle seguenti diciture ? "));
    group->setObjectName(QStringLiteral("gbDiciture"));
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);
    auto *boxes = new QVBoxLayout(group);
    QFont plain = bold;
    plain.setBold(false);
    for (int i = 0; i < 3; ++i) {
        m_boxes[i] = new QCheckBox(QString::fromUtf8(kBoxes[i].caption));
        m_boxes[i]->setObjectName(QString::fromLatin1(kBoxes[i].name));
        m_boxes[i]->setFont(plain);
        boxes->addWidget(m_boxes[i]);
    }
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    m_nonChiedere = new QCheckBox(QStringLiteral("Non chiedere più per questo tipo di stampa"));
    m_nonChiedere->setObjectName(QStringLiteral("ckNonChiedere"));
    ButtonRow()->insertWidget(0, m_nonChiedere);
    buOk()->setText(QStringLiteral("Sì"));
    buCancel()->setText(QStringLiteral("No"));
}

QString TfmQetLegge183::Codes() const
{
    QString codes;
    for (int i = 0; i < 3; ++i) {
        if (m_boxes[i]->isChecked())
            codes += QChar(u'1' + i);
    }
    return codes;
}

bool TfmQetLegge183::NonChiedere() const
{
    return m_nonChiedere->isChecked();
}

void TfmQetLegge183::OkClick()
{
    if (Codes().isEmpty()) {
        VxMessageDlg(
            QStringLiteral("Per continuare selezionare una dicitura da inserire nella stampa."),
            mtError, mbOK);
        SetModalResult(mrNone);
        return;
    }
    SetModalResult(mrYes);
}

Legge183Answer ShowLegge183Dialog(const QString &title)
{
    TfmQetLegge183 form;
    if (!title.isEmpty())
        form.setWindowTitle(title);
    Legge183Answer answer;
    answer.accepted = form.ShowModal() == mrYes;
    answer.codes = form.Codes();
    answer.nonChiedere = form.NonChiedere();
    return answer;
}
