#include "exchange/qelportalselection.h"

#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "shell/qeldatasets.h"
#include "shell/qelutil.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QRadioButton *radio(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QRadioButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The items, then the choice of all of them (id 0).
void fillCombo(QComboBox *combo, const TVxEnumItems &items, const QString &all)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const TVxEnumItem &item : items)
        combo->addItem(item.text, item.id);
    combo->addItem(all, 0);
    combo->setCurrentIndex(0);
}

void choose(QComboBox *combo, int id)
{
    const QSignalBlocker quiet(combo);
    const int at = combo->findData(id);
    if (id != 0 && at >= 0)
        combo->setCurrentIndex(at);
}

} // namespace

QelPortalSelection::QelPortalSelection(QWidget *parent, const QString &instituteCaption,
                                       const QString &operationCaption)
    : QObject(parent), m_institute(new QComboBox(parent)), m_year(new QLineEdit(parent)),
      m_session(new QComboBox(parent)), m_rows(new QFormLayout),
      m_operation(new QGroupBox(operationCaption, parent)),
      m_generate(radio("rbGenera", QStringLiteral("Genera sessione"), m_operation)),
      m_clear(radio("rbCancella", QStringLiteral("Cancella sessione"), m_operation)),
      m_suspended(new QGroupBox(QStringLiteral(" Sospesi "), parent)),
      m_suspendedChoices{
          radio("rbNessunVoto", QStringLiteral("Nessun voto"), m_suspended),
          radio("rbTuttiVoti", QStringLiteral("Tutti i voti"), m_suspended),
          radio("rbSoloSufficienze", QStringLiteral("Solo sufficienze"), m_suspended)}
{
    m_institute->setObjectName(QStringLiteral("cbIstituto"));
    m_year->setObjectName(QStringLiteral("edAnnoScol"));
    m_year->setReadOnly(true);
    m_session->setObjectName(QStringLiteral("cbSessione"));
    m_rows->addRow(instituteCaption, m_institute);
    m_rows->addRow(QStringLiteral("Anno scolastico"), m_year);
    m_rows->addRow(QStringLiteral("Sessione"), m_session);

    m_operation->setObjectName(QStringLiteral("rgOperazione"));
    auto *operations = new QHBoxLayout(m_operation);
    operations->addWidget(m_generate);
    operations->addWidget(m_clear);
    m_generate->setChecked(true);

    m_suspended->setObjectName(QStringLiteral("rgSospesi"));
    auto *choices = new QVBoxLayout(m_suspended);
    for (QRadioButton *choice : m_suspendedChoices)
        choices->addWidget(choice);
    m_suspendedChoices[0]->setChecked(true);

    connect(m_institute, &QComboBox::currentIndexChanged, this,
            [this] { RunShowingErrors([this] { loadSessions(); }); });
}

void QelPortalSelection::load()
{
    // The year's key is not a calendar year: its text comes from the year's own start year.
    m_year->setText(AnnoScolTextOfAnsId(TVxWorkingContext::schoolYear()));
    fillCombo(m_institute, QelPortalLists::Institutes(), QStringLiteral("Tutti"));
    choose(m_institute, TVxWorkingContext::institute());
    loadSessions();
    choose(m_session, TVxWorkingContext::session());
}

void QelPortalSelection::loadSessions()
{
    fillCombo(m_session, TdmqelDataSets::YearSessions(iDwgId(), TVxWorkingContext::schoolYear()),
              QStringLiteral("Tutte"));
}

QString QelPortalSelection::clearQuestion()
{
    return QStringLiteral("Attenzione: questa operazione cancellerà i dati relativi alla sessione "
                          "selezionata, per Kerovia. Proseguire?");
}

int QelPortalSelection::iDwgId() const
{
    return m_institute->currentData().toInt();
}

int QelPortalSelection::iAnsSesDwgId() const
{
    return m_session->currentData().toInt();
}

QelSuspendedVotes QelPortalSelection::suspended() const
{
    if (m_suspendedChoices[1]->isChecked())
        return QelSuspendedVotes::AllVotes;
    if (m_suspendedChoices[2]->isChecked())
        return QelSuspendedVotes::PassingOnly;
    return QelSuspendedVotes::NoVotes;
}
