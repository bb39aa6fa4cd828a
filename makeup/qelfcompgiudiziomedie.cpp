#include "makeup/qelfcompgiudiziomedie.h"

#include "makeup/qelclassjudgments.h"
#include "platform/checklist.h"
#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"
#include "shell/qelutil.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const char *const kCaptions[] = {"Compone Giudizio da tassonomie", "Cancella Giudizio",
                                 "Copia Giudizio da note"};

QLineEdit *contextEdit(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setEnabled(false);
    return edit;
}

ClassJudgments workingJudgments()
{
    return ClassJudgments(qqoVxGlobConn(), TVxWorkingContext::schoolYear(),
                          TVxWorkingContext::session());
}

} // namespace

TfmqelCompGiudizioMedie::TfmqelCompGiudizioMedie(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_institute(contextEdit(QStringLiteral("edIst"), this)),
      m_year(contextEdit(QStringLiteral("edAns"), this)),
      m_session(contextEdit(QStringLiteral("edSes"), this)), m_toolBar(new QToolBar(this)),
      m_classes(new QListWidget(this)),
      m_fromTaxonomies(new QRadioButton(QStringLiteral("da tassonomie"), this)),
      m_fromNotes(new QRadioButton(QStringLiteral("da note"), this)),
      m_replace(new QCheckBox(QStringLiteral("Sostituisce giudizi già presenti"), this))
{
    setObjectName(QStringLiteral("fmqelCompGiudizioMedie"));
    resize(520, 460);

    auto *context = new QFormLayout;
    context->addRow(QStringLiteral("Istituto"), m_institute);
    context->addRow(QStringLiteral("Anno scolastico"), m_year);
    context->addRow(QStringLiteral("Sessione"), m_session);

    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    AddCheckListTools(m_toolBar, m_classes);

    m_classes->setObjectName(QStringLiteral("clbCls"));
    m_fromTaxonomies->setObjectName(QStringLiteral("rbDaTassonomie"));
    m_fromNotes->setObjectName(QStringLiteral("rbDaNote"));
    m_replace->setObjectName(QStringLiteral("cbxSovrascrivi"));
    m_fromTaxonomies->setChecked(true);
    connect(m_fromTaxonomies, &QRadioButton::clicked, this, [this] { SetModo(0); });
    connect(m_fromNotes, &QRadioButton::clicked, this, [this] { SetModo(2); });

    auto *options = new QHBoxLayout;
    options->addWidget(m_fromTaxonomies);
    options->addWidget(m_fromNotes);
    options->addStretch();
    options->addWidget(m_replace);

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(context);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_classes, 1);
    layout->addLayout(options);

    FormCreate();
}

void TfmqelCompGiudizioMedie::FormCreate()
{
    m_institute->setText(GetVxuParamValue(TVxWorkingContext::instituteKey()).toString());
    // The year's key is not a calendar year: the text comes from the year's own start year.
    RunShowingErrors([this] {
        m_year->setText(AnnoScolTextOfAnsId(TVxWorkingContext::schoolYear()));
        m_session->setText(GetSessioneDesc(TVxWorkingContext::session()));
        m_classes->clear();
        for (const TVxEnumItem &cls : workingJudgments().classes())
            AddCheckItem(m_classes, cls.text, cls.id);
    });
    tbSelectAllClick();
    SetModo(0);
}

void TfmqelCompGiudizioMedie::SetModo(int modo)
{
    m_modo = modo;
    setWindowTitle(QString::fromLatin1(kCaptions[qBound(0, modo, 2)]));
    const bool options = modo != 1;
    m_replace->setVisible(options);
    m_fromTaxonomies->setVisible(options);
    m_fromNotes->setVisible(options);
    // The radio buttons follow a mode set from outside too.
    if (modo == 0)
        m_fromTaxonomies->setChecked(true);
    else if (modo == 2)
        m_fromNotes->setChecked(true);
    // Deleting starts from no class: the office ticks what it means to clear, never unticks
    // what it did not.
    if (modo == 1)
        CheckAll(m_classes, false);
}

void TfmqelCompGiudizioMedie::tbSelectAllClick()
{
    CheckAll(m_classes, true);
}

void TfmqelCompGiudizioMedie::tcUnselectAllClick()
{
    CheckAll(m_classes, false);
}

void TfmqelCompGiudizioMedie::tbInvertClick()
{
    InvertChecks(m_classes);
}

QList<int> TfmqelCompGiudizioMedie::checkedClasses() const
{
    return CheckedIds(m_classes);
}

void TfmqelCompGiudizioMedie::ComponiDaTassonomie()
{
    workingJudgments().compose(checkedClasses(), m_replace->isChecked());
}

void TfmqelCompGiudizioMedie::CancellaGiudizi()
{
    workingJudgments().removeAll(checkedClasses());
}

void TfmqelCompGiudizioMedie::CopiaDaNote()
{
    workingJudgments().copyNotes(checkedClasses(), m_replace->isChecked());
}

void TfmqelCompGiudizioMedie::OkClick()
{
    SetModalResult(mrNone);
    TVxHourglass hourglass;
    // The question names what the answer writes: the classes, and whether judgments already
    // written are replaced.
    QStringList classi;
    for (const QListWidgetItem *item : CheckedItems(m_classes))
        classi << item->text().section(QLatin1Char(' '), 0, 0);
    const QString quali = QStringLiteral("\r\rClassi: %1.").arg(classi.join(QStringLiteral(", ")));
    const QString question =
        m_modo == 1
            ? QStringLiteral("Conferma cancellazione giudizi delle classi selezionate?") + quali +
                  QStringLiteral(" Tutti i giudizi dei loro alunni in questa sessione vengono "
                                 "cancellati.")
            : QStringLiteral("Conferma inserimento giudizi delle classi selezionate?") + quali +
                  (m_replace->isChecked()
                       ? QStringLiteral(" I giudizi già scritti vengono sostituiti.")
                       : QStringLiteral(" I giudizi già scritti restano come sono."));
    if (VxMessageDlg(question, mtWarning, mbYesNo, 0, mrNo) != mrYes)
        return;
    // A failure stops at its pupil; the dialog stays open to run again.
    const bool done = RunShowingErrors([this] {
        switch (m_modo) {
        case 1:
            CancellaGiudizi();
            break;
        case 2:
            CopiaDaNote();
            break;
        default:
            ComponiDaTassonomie();
            break;
        }
    });
    if (!done)
        return;
    SetModalResult(mrOk);
    VxMessageDlg(QStringLiteral("Operazione conclusa correttamente"), mtInformation, mbOK);
}
