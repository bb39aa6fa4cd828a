#include "makeup/qelsessioncopyform.h"

#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QComboBox *addSessionGroup(QBoxLayout *layout, QWidget *parent, const QString &title,
                           const QString &label, const QString &listName)
{
    auto *group = new QGroupBox(title, parent);
    auto *row = new QHBoxLayout(group);
    auto *caption = new QLabel(label, group);
    auto *list = new QComboBox(group);
    list->setObjectName(listName);
    list->setMinimumWidth(220);
    caption->setBuddy(list);
    row->addWidget(caption);
    row->addWidget(list, 1);
    layout->addWidget(group);
    return list;
}

} // namespace

void addCopyWarningPanel(QBoxLayout *layout, QWidget *parent, const QString &text)
{
    auto *panel = new QLabel(text, parent);
    panel->setObjectName(QStringLiteral("paWarning"));
    panel->setAlignment(Qt::AlignCenter);
    panel->setWordWrap(true);
    panel->setMargin(8);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, Qt::red);
    colours.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(colours);
    QFont bold = panel->font();
    bold.setBold(true);
    panel->setFont(bold);
    layout->addWidget(panel);
}

QelSessionCopyForm::QelSessionCopyForm(const QelSessionCopyTexts &texts, QWidget *owner)
    : TfmVxOkCancDlg(owner)
{
    setObjectName(QString::fromLatin1(texts.objectName));
    setWindowTitle(QString::fromUtf8(texts.title));
    QWidget *client = ClientArea();
    m_layout = new QVBoxLayout(client);
    m_layout->setContentsMargins(0, 0, 0, 0);
    addCopyWarningPanel(m_layout, client, QString::fromUtf8(texts.warning));
    m_source = addSessionGroup(m_layout, client, QString::fromUtf8(texts.sourceTitle),
                               QStringLiteral("Sessione Finale"), QStringLiteral("cboSessione"));
    m_target = addSessionGroup(m_layout, client, QString::fromUtf8(texts.targetTitle),
                               QString::fromUtf8(texts.targetLabel),
                               QString::fromLatin1(texts.targetName));
}

void QelSessionCopyForm::loadSessions(int sourceKind, int targetKind)
{
    const bool loaded = RunShowingErrors([&] {
        loadSessionsOfKind(m_source, sourceKind);
        loadSessionsOfKind(m_target, targetKind);
    });
    m_source->setCurrentIndex(m_source->count() > 0 ? 0 : -1);
    m_target->setCurrentIndex(m_target->count() > 0 ? 0 : -1);
    const bool both = m_source->count() > 0 && m_target->count() > 0;
    buOk()->setEnabled(loaded && both);
    if (loaded && !both) // else the database's refusal was shown
        VxMessageDlg(QStringLiteral("Non sono state configurate le sessioni necessarie al "
                                    "passaggio dei dati. Impossibile continuare!"),
                     mtWarning, mbOK);
}

int QelSessionCopyForm::sourceSession() const
{
    return enumItemId(m_source, m_source->currentIndex());
}

int QelSessionCopyForm::targetSession() const
{
    return enumItemId(m_target, m_target->currentIndex());
}

bool QelSessionCopyForm::confirmCopy() const
{
    const QString copy =
        QStringLiteral("Con la seguente procedura verranno copiate le voci selezionate dalla "
                       "sessione\r\r%1\r\ralla sessione\r\r%2\r\rContinuare?")
            .arg(m_source->currentText(), m_target->currentText());
    if (VxMessageDlg(copy, mtWarning, mbYesNo, 0, mrNo) != mrYes)
        return false;
    return VxMessageDlg(QStringLiteral("Procedendo verranno cancellati i dati già presenti nella "
                                       "sessione di destinazione.Continuare comunque?"),
                        mtWarning, mbYesNo, 0, mrNo) == mrYes;
}

TVxStepwiseRun copyRun()
{
    return TVxStepwiseRun({QStringLiteral("Passaggio interrotto durante la copia %1, che nella "
                                          "sessione di destinazione restano come erano"),
                           QStringLiteral("i dati %1 sono già copiati"),
                           QStringLiteral("nessun dato è stato ancora copiato")});
}

std::optional<QelCopyResult> runCopyStep(TVxStepwiseRun &run, const QelCopyStepTexts &step,
                                         int iSourceId, int iTargetId, int minimumVote,
                                         const QelCopyProgress &progress)
{
    QelCopyResult result;
    const bool done = RunShowingErrors([&] {
        run.Step(QString::fromUtf8(step.what), [&] {
            result = copySessionRows(qqoVxGlobConn(), step.kind, iSourceId, iTargetId, minimumVote,
                                     progress);
            return result.changed;
        });
    });
    if (!done)
        return std::nullopt;
    if (result.sourceRows == 0)
        VxMessageDlg(QString::fromUtf8(step.nothingToCopy), mtWarning, mbOK);
    return result;
}

QString rowWithoutPlaceLine(const QelRowWithoutPlace &row)
{
    return QStringLiteral("Classe: ") + row.sClsDesc + QStringLiteral(", Materia: ") +
           row.sMatSDesc;
}
