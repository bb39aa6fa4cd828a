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

std::optional<QelCopyResult> runCopyStep(const QelCopyStepTexts &step, int iSourceId, int iTargetId,
                                         int minimumVote, const QelCopyProgress &progress)
{
    QelCopyResult result;
    try {
        result = copySessionRows(qqoVxGlobConn(), step.kind, iSourceId, iTargetId, minimumVote,
                                 progress);
    } catch (const std::exception &e) {
        const auto *expected = dynamic_cast<const EVxException *>(&e);
        VxMessageDlg(QStringLiteral("Errore durante il passaggio %1: l'operazione è stata "
                                    "interrotta. Questi dati della sessione di destinazione sono "
                                    "rimasti come erano.\r\r%2")
                         .arg(QString::fromUtf8(step.what),
                              expected ? expected->message() : QString::fromUtf8(e.what())),
                     mtError, mbOK);
        return std::nullopt;
    }
    if (result.sourceRows == 0)
        VxMessageDlg(QString::fromUtf8(step.nothingToCopy), mtWarning, mbOK);
    return result;
}

QString rowWithoutPlaceLine(const QelRowWithoutPlace &row)
{
    return QStringLiteral("Classe: ") + row.sClsDesc + QStringLiteral(", Materia: ") +
           row.sMatSDesc;
}
